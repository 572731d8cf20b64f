// ixmark3's sorted tags read and decoded a few thousand ahead on a thread of their own, while the
// comparison reads the data file on the run's thread: the two halves of the comparison cost
// about the same, and a second processor then takes one of them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/io.hpp"
#include "ixmark/ahead.hpp"
#include "ixmark/compare.hpp"

namespace dbc::ixmark {

class PrefetchedTags {
 public:
  // Reads the sorted file open on `srtf` (its path `srtflnm`) as CompressedSorted does. A read
  // error is reported on `out` when the comparison reaches the tag it stopped at, and stops
  // the run there, as it would have without the thread.
  PrefetchedTags(Fd srtf, bool ichflg, std::FILE* out, std::string srtflnm);
  // Stops the thread, wherever it is.
  ~PrefetchedTags();
  PrefetchedTags(const PrefetchedTags&) = delete;
  PrefetchedTags& operator=(const PrefetchedTags&) = delete;

  // The next tag into buffer1; its length, or -1 at the end (CompressedSorted::getsrt).
  int getsrt(std::string& buffer1);

 private:
  // Tags one after another, each ending where `ends` says; the last batch says so, with the
  // failure that ended the reading, if any, and what it said.
  struct Batch {
    std::string text;
    std::vector<std::size_t> ends;
    bool last = false;
    std::exception_ptr failure;
    std::string said;
  };
  void read();
  Batch readBatch();
  void take();

  std::FILE* out_;
  HeldSaying said_;  // what the reader says, held until its moment comes
  CompressedSorted sorted_;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<Batch> ready_;
  bool stopping_ = false;
  Batch current_;
  std::size_t at_ = 0;
  std::thread thread_;  // last: started once everything it uses is in place
};

}  // namespace dbc::ixmark
