// What the threads that work ahead of a run's thread (reading the sorted tags, walking the index)
// have in common: what such a thread says is held in memory until the run's thread reaches the
// point where it was said, and the thread is stopped wherever it waits when the run ends first.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace dbc::ixmark {

// A stream in memory for what a thread working ahead says.
class HeldSaying {
 public:
  HeldSaying() : file_(open_memstream(&text_, &len_)) {}
  ~HeldSaying() {
    if (file_) std::fclose(file_);
    std::free(text_);
  }
  HeldSaying(const HeldSaying&) = delete;
  HeldSaying& operator=(const HeldSaying&) = delete;
  // Where the thread says things; `out` itself should the stream be missing.
  std::FILE* file(std::FILE* out) const { return file_ ? file_ : out; }
  // What was said so far.
  std::string text() {
    return file_ && std::fflush(file_) == 0 ? std::string(text_, len_) : std::string();
  }

 private:
  char* text_ = nullptr;
  std::size_t len_ = 0;
  std::FILE* file_;
};

// Starts `body` on a thread of its own that never takes SIGHUP, SIGINT or SIGTERM: they stay
// with the run's own thread, whose handlers clean up the work files.
std::thread startAhead(std::function<void()> body);

// Has the thread `t` stop where it waits for room (it watches `stopping` under `m`, woken by
// `cv`) and waits for its end.
void stopAhead(std::mutex& m, std::condition_variable& cv, bool& stopping, std::thread& t);

}  // namespace dbc::ixmark
