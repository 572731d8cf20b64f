#include "platform/dbcsort/sorter.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/io.hpp"
#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/radix.hpp"
#include "platform/dbcsort/temp.hpp"

namespace dbc::dbcsort {

namespace {

// Entry layout: the key, the record's offset in the chunk (4 bytes, most significant first, so
// that equal keys keep their input order), the record's length.
constexpr std::size_t kOffsetBytes = 4;
constexpr std::size_t kLengthBytes = 4;

void putBig32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

std::uint32_t getBig32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

// A file for sorted runs. It has no name beyond the moment of its creation, so that it
// disappears with the process however the process ends.
class RunFile {
 public:
  explicit RunFile(const std::string& dir) : fd_(createUnnamed(tempPattern(dir, "DBCSORT.run"))) {
    if (!fd_) {
      fail(1, "DBCSORT: cannot create a temporary file in %s: %s\n", dir.c_str(),
           std::strerror(errno));
    }
    name_ = "temporary file in " + dir;
  }
  int fd() const { return fd_.get(); }
  const std::string& name() const { return name_; }

 private:
  dbc::Fd fd_;
  std::string name_;
};

struct Run {
  off_t start;
  off_t end;
};

// One run being merged: its reader, its current record and that record's key.
struct Source {
  Source(int fd, const Run& run, const SortJob& job, const std::string& name)
      : reader(fd, job.form, run.start, run.end, job.budget.mergeBuffer, name),
        key(keyBytes(job.key)) {}
  RecordReader reader;
  std::string_view record;
  std::vector<unsigned char> key;
};

// Merges `runs` of the file `fd` into `out`. Ties go to the earlier run, which holds the earlier
// input, so the merge keeps the order of equal keys.
void mergeRuns(const SortJob& job, const RunFile& file, const std::vector<Run>& runs, Writer& out) {
  const std::size_t kb = keyBytes(job.key);
  std::vector<std::unique_ptr<Source>> src;
  src.reserve(runs.size());
  std::vector<std::size_t> heap;
  // The heap keeps the smallest (key, run number) on top.
  auto after = [&](std::size_t a, std::size_t b) {
    int c = std::memcmp(src[a]->key.data(), src[b]->key.data(), kb);
    return c != 0 ? c > 0 : a > b;
  };
  auto advance = [&](std::size_t i) {
    Source& s = *src[i];
    if (!s.reader.next(s.record)) return false;
    recordKey(job.form, s.record, job.ichrs, job.key, s.key.data());
    return true;
  };
  for (const Run& r : runs) {
    src.push_back(std::make_unique<Source>(file.fd(), r, job, file.name()));
    if (advance(src.size() - 1)) heap.push_back(src.size() - 1);
  }
  std::make_heap(heap.begin(), heap.end(), after);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), after);
    std::size_t i = heap.back();
    writeRecord(out, job.form, src[i]->record);
    if (advance(i)) {
      std::push_heap(heap.begin(), heap.end(), after);
    } else {
      heap.pop_back();
    }
  }
}

}  // namespace

Chunk::Chunk(std::size_t capacity, const SortJob& job)
    : job_(job),
      capacity_(capacity),
      mem_(capacity),
      end_(mem_.data() + mem_.size()),
      keyBytes_(keyBytes(job.key)),
      stride_(keyBytes_ + kOffsetBytes + kLengthBytes) {}

bool Chunk::add(std::string_view record) {
  // Equal keys are ordered by the record's offset in the block, so every record, an empty one
  // too, takes at least one byte there: offsets then rise strictly in input order.
  const std::size_t room = std::max<std::size_t>(record.size(), 1);
  std::size_t need = room + stride_;
  if (used_ + count_ * stride_ + need > mem_.size()) {
    if (count_ > 0) return false;
    // A record larger than the whole budget is still sorted: the block grows for it alone.
    if (record.size() > UINT32_MAX) {
      fail(1, "DBCSORT: a record of %zu bytes is too long to sort\n", record.size());
    }
    mem_ = Block();
    mem_ = Block(need);
    end_ = mem_.data() + mem_.size();
    used_ = 0;
  }
  std::memcpy(mem_.data() + used_, record.data(), record.size());
  unsigned char* e = entry(count_);
  recordKey(job_.form, record, job_.ichrs, job_.key, e);
  putBig32(e + keyBytes_, static_cast<std::uint32_t>(used_));
  putBig32(e + keyBytes_ + kOffsetBytes, static_cast<std::uint32_t>(record.size()));
  used_ += room;
  ++count_;
  return true;
}

void Chunk::sort() {
  radixSort(end_ - count_ * stride_, count_, stride_, keyBytes_ + kOffsetBytes);
}

std::string_view Chunk::record(std::size_t i) const {
  const unsigned char* e = sortedEntry(i);
  std::uint32_t off = getBig32(e + keyBytes_);
  std::uint32_t len = getBig32(e + keyBytes_ + kOffsetBytes);
  return {reinterpret_cast<const char*>(mem_.data()) + off, len};
}

void Chunk::writeSorted(Writer& out) const {
  // The records lie in the block in input order, so sorted order visits them at random: each
  // is fetched into the cache a few records ahead of its turn.
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = 0; i < count_; ++i) {
    if (i + kAhead < count_)
      __builtin_prefetch(mem_.data() + getBig32(sortedEntry(i + kAhead) + keyBytes_));
    writeRecord(out, job_.form, record(i));
  }
}

void Chunk::clear() {
  used_ = 0;
  count_ = 0;
  if (mem_.size() != capacity_) {  // back to the budget after an oversized record
    mem_ = Block();
    mem_ = Block(capacity_);
    end_ = mem_.data() + mem_.size();
  }
}

std::size_t sortRecords(const SortJob& job, int inFd, const std::string& inName, Writer& out) {
  std::size_t total = 0;
  std::unique_ptr<RunFile> runFile;
  std::vector<Run> runs;
  {
    Chunk chunk(job.budget.arena, job);
    RecordReader in(inFd, job.form, 0, -1, job.budget.ioBuffer, inName);
    std::unique_ptr<Writer> runWriter;
    auto spill = [&] {
      chunk.sort();
      if (!runFile) {
        runFile = std::make_unique<RunFile>(job.tempDir);
        runWriter = std::make_unique<Writer>(runFile->fd(), job.budget.ioBuffer, runFile->name());
      }
      off_t start = runWriter->written();
      chunk.writeSorted(*runWriter);
      runs.push_back({start, runWriter->written()});
      chunk.clear();
    };
    std::string_view rec;
    while (in.next(rec)) {
      ++total;
      if (!chunk.add(rec)) {
        spill();
        chunk.add(rec);
      }
    }
    if (runs.empty()) {  // everything fitted: no run files at all
      chunk.sort();
      chunk.writeSorted(out);
      return total;
    }
    if (!chunk.empty()) spill();
    runWriter->flush();
  }
  // Merge consecutive groups until one last merge can write the output, keeping the runs in
  // input order so that ties stay stable from level to level.
  while (runs.size() > job.budget.fanIn) {
    auto next = std::make_unique<RunFile>(job.tempDir);
    std::vector<Run> merged;
    {
      Writer w(next->fd(), job.budget.ioBuffer, next->name());
      for (std::size_t g = 0; g < runs.size(); g += job.budget.fanIn) {
        std::size_t k = std::min(job.budget.fanIn, runs.size() - g);
        std::vector<Run> group(runs.begin() + g, runs.begin() + g + k);
        off_t start = w.written();
        mergeRuns(job, *runFile, group, w);
        merged.push_back({start, w.written()});
      }
      w.flush();
    }
    runFile = std::move(next);
    runs = std::move(merged);
  }
  mergeRuns(job, *runFile, runs, out);
  return total;
}

}  // namespace dbc::dbcsort
