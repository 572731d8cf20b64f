// ixmark3's index walk on a thread of its own, a few thousand entries ahead of the tag writer on
// the run's thread. The walk's thread also forms the tags of every other batch of entries whose
// keys are printable throughout (TagWriter::formPrintable, which says nothing), the bulk of the
// writer's work; the run's thread forms the others and does what must keep its order: the
// messages, the duplicate check and the writing. Whatever the walk reports when it stops (a damaged
// index, a failed read) is held until the writer has had every entry before that point, then said
// and the run stopped, so the messages come in the order a walk on the run's thread gives.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ixmark/ahead.hpp"
#include "ixmark/isam.hpp"
#include "ixmark/tag.hpp"

namespace dbc::ixmark {

class WalkAhead {
 public:
  // Walks the index open on `isif` as IsamWalk(isif, h, orgnam, out, isiflnm) does, the tags
  // formed ahead by `writer`.
  WalkAhead(int isif, const IndexHeader& h, std::string orgnam, std::FILE* out, std::string isiflnm,
            bool ichflg, const TagWriter& writer);
  // Stops the thread, wherever it is.
  ~WalkAhead();
  WalkAhead(const WalkAhead&) = delete;
  WalkAhead& operator=(const WalkAhead&) = delete;

  // Hands every entry, in walk order, to the writer on the calling thread.
  void walk(TagWriter& writer);

 private:
  struct Place {
    std::uint64_t txtpos, filpos1;
    int bufpos;
  };
  // Entries one after another, each key keysiz bytes and a zero (as it goes into the tag where
  // the tag is formed), each tag of its length (-1: none formed); the last batch says so, with
  // the failure that ended the walk, if any, and what the walk said.
  struct Batch {
    explicit Batch(std::size_t stride);
    void clear();
    std::unique_ptr<char[]> keys;  // room for a whole batch: a batch is filled and used again
    std::unique_ptr<char[]> tags;  // without touching fresh memory for each one
    std::size_t tagBytes = 0;
    std::vector<Place> places;
    std::vector<int> lens;
    bool last = false;
    std::exception_ptr failure;
    std::string said;
  };
  struct Stopping {};
  void run(int isif, std::string orgnam, std::string isiflnm, bool ichflg);
  // Queues `b` once there is room for it, and gives it a batch to fill next.
  void hand(std::unique_ptr<Batch>& b);
  std::unique_ptr<Batch> take();

  const IndexHeader& h_;
  const TagWriter& former_;
  std::FILE* out_;
  HeldSaying said_;  // what the walk says, held until its moment comes
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::unique_ptr<Batch>> ready_;
  std::vector<std::unique_ptr<Batch>> spare_;  // batches used, to be filled again
  bool stopping_ = false;
  std::thread thread_;  // last: started once everything it uses is in place
};

}  // namespace dbc::ixmark
