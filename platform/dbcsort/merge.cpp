#include "platform/dbcsort/merge.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/partition.hpp"
#include "platform/dbcsort/temp.hpp"

namespace dbc::dbcsort {

namespace {

// The key bytes the two heads of a source hold.
constexpr std::size_t kHeadBytes = 16;

// The top of `heap` moved down to its place: one pass where popping and pushing take two.
template <typename After>
void siftDown(std::vector<std::size_t>& heap, After after) {
  const std::size_t n = heap.size();
  const std::size_t top = heap[0];
  std::size_t at = 0;
  for (;;) {
    std::size_t child = 2 * at + 1;
    if (child >= n) break;
    if (child + 1 < n && after(heap[child], heap[child + 1])) ++child;
    if (!after(top, heap[child])) break;
    heap[at] = heap[child];
    at = child;
  }
  heap[at] = top;
}

}  // namespace

RunFile::RunFile(const std::string& dir) : fd_(createUnnamed(tempPattern(dir, "DBCSORT.run"))) {
  if (!fd_) {
    fail(1, "DBCSORT: cannot create a temporary file in %s: %s\n", dir.c_str(),
         std::strerror(errno));
  }
  name_ = "temporary file in " + dir;
}

RunSource::RunSource(int fd, const Run& run, const ChunkKind& kind, std::size_t buffer,
                     const std::string& name)
    : reader_(fd, kind.form, run.start, run.end, buffer, name),
      kind_(kind),
      keyBuf_(keyBytes(kind.key)) {
  key_ = keyBuf_.data();
}

bool RunSource::next() {
  if (!reader_.next(record)) return false;
  whole_ = kind_.form != Form::kCompressed || kind_.key.width() < kHeadBytes;
  if (whole_) {
    recordKey(kind_.form, record, kind_.ichrs, kind_.key, keyBuf_.data());
  } else {
    compressedKeyFront(record, kind_.ichrs, kind_.key, kHeadBytes, keyBuf_.data());
  }
  setHeads(keyBuf_.size());
  return true;
}

const unsigned char* RunSource::key() const {
  if (!whole_) recordKey(kind_.form, record, kind_.ichrs, kind_.key, keyBuf_.data());
  whole_ = true;
  return key_;
}

bool ChunkSource::next() {
  if (i_ == chunk_.size()) return false;
  record = chunk_.record(i_);
  key_ = chunk_.key(i_, keyBuf_.data());
  setHeads(keyBuf_.size());
  ++i_;
  return true;
}

void merge(const std::vector<std::unique_ptr<MergeSource>>& sources, std::size_t keyBytes,
           Form form, Writer& out, RunSamples* samples) {
  // A heap of source numbers with the smallest (key, source number) on top.
  auto after = [&](std::size_t a, std::size_t b) {
    const MergeSource& x = *sources[a];
    const MergeSource& y = *sources[b];
    if (x.head != y.head) return x.head > y.head;
    if (x.head2 != y.head2) return x.head2 > y.head2;
    int c = keyBytes > kHeadBytes
                ? std::memcmp(x.key() + kHeadBytes, y.key() + kHeadBytes, keyBytes - kHeadBytes)
                : 0;
    return c != 0 ? c > 0 : a > b;
  };
  std::vector<std::size_t> heap;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (sources[i]->next()) heap.push_back(i);
  }
  std::make_heap(heap.begin(), heap.end(), after);
  while (!heap.empty()) {
    const std::size_t i = heap.front();
    if (samples && samples->wants(out.written())) samples->offer(out.written(), sources[i]->key());
    writeRecord(out, form, sources[i]->record);
    if (!sources[i]->next()) {
      std::pop_heap(heap.begin(), heap.end(), after);
      heap.pop_back();
      continue;
    }
    siftDown(heap, after);
  }
}

}  // namespace dbc::dbcsort
