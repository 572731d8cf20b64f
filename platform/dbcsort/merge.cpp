#include "platform/dbcsort/merge.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/partition.hpp"
#include "platform/dbcsort/temp.hpp"

namespace dbc::dbcsort {

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
  key = keyBuf_.data();
}

bool RunSource::next() {
  if (!reader_.next(record)) return false;
  recordKey(kind_.form, record, kind_.ichrs, kind_.key, keyBuf_.data());
  return true;
}

bool ChunkSource::next() {
  if (i_ == chunk_.size()) return false;
  record = chunk_.record(i_);
  key = chunk_.key(i_);
  ++i_;
  return true;
}

void merge(const std::vector<std::unique_ptr<MergeSource>>& sources, std::size_t keyBytes,
           Form form, Writer& out, RunSamples* samples) {
  // The heap keeps the smallest (key, source number) on top.
  auto after = [&](std::size_t a, std::size_t b) {
    int c = std::memcmp(sources[a]->key, sources[b]->key, keyBytes);
    return c != 0 ? c > 0 : a > b;
  };
  std::vector<std::size_t> heap;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (sources[i]->next()) heap.push_back(i);
  }
  std::make_heap(heap.begin(), heap.end(), after);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), after);
    std::size_t i = heap.back();
    if (samples) samples->offer(out.written(), sources[i]->key);
    writeRecord(out, form, sources[i]->record);
    if (sources[i]->next()) {
      std::push_heap(heap.begin(), heap.end(), after);
    } else {
      heap.pop_back();
    }
  }
}

}  // namespace dbc::dbcsort
