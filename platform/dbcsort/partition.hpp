// The last merge split by key into ranges merged side by side, each range written straight to
// its own place in the output. Keys sampled at even steps through each run as it is written
// give the ranges' bounds, a few records read from each run find where each range starts in
// it, and the sizes of what comes before say where each range's output starts: the output is
// byte for byte that of one merge. All records of one key fall in one range, so the ranges'
// merges keep ties in input order just as one merge does.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/dbcsort/merge.hpp"
#include "platform/dbcsort/records.hpp"

namespace dbc::dbcsort {

struct SortJob;

// Keys met at even steps of bytes through one run, with where their records start in it: about
// `count` of them.
class RunSamples {
 public:
  RunSamples(off_t runBytes, std::size_t count, std::size_t keyBytes);
  // Told of every record as it is written, `offset` bytes into the run.
  void offer(off_t offset, const unsigned char* key) {
    if (wants(offset)) take(offset, key);
  }
  // Whether offer() would take a record at `offset`, for callers that make keys only for it.
  bool wants(off_t offset) const { return offset >= next_; }
  std::size_t size() const { return offsets_.size(); }
  const unsigned char* key(std::size_t i) const { return keys_.data() + i * keyBytes_; }
  off_t offset(std::size_t i) const { return offsets_[i]; }

 private:
  void take(off_t offset, const unsigned char* key);

  std::size_t keyBytes_;
  off_t step_;
  off_t next_ = 0;
  std::vector<unsigned char> keys_;
  std::vector<off_t> offsets_;
};

// How many keys to sample from each run so that the samples of as many runs as one merge takes
// stay a small part of the budget (at most 64); 0 when too few would fit to be of use.
std::size_t samplesPerRun(const SortJob& job);

// Merges `runs` of `file` (`samples` holding one RunSamples per run) into `out`, which writes
// from its own position in a regular file, as `ranges` merges side by side.
void mergeInRanges(const SortJob& job, const RunFile& file, const std::vector<Run>& runs,
                   const std::vector<std::unique_ptr<RunSamples>>& samples, std::size_t ranges,
                   Writer& out);

}  // namespace dbc::dbcsort
