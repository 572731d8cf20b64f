// Buffered standard output of the audit tools. Their output is data that the next tool of the
// chain reads, so a write that fails (a full disk, a closed pipe) must end the run with an error
// instead of leaving a short list behind a success status.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "audit/failure.hpp"

namespace dbc::audit {

class Output {
 public:
  // Writes to `out`: straight to its descriptor when it has one (what the stream holds already is
  // flushed first, so the bytes stay in order), else through the stream. A failed write stops the
  // run through `failure`.
  Output(std::FILE* out, Failure failure);
  // Keeps everything in memory (see text()); for tests.
  Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Space for at least `n` bytes (n <= 64 KiB); fill it and hand the end back to commit().
  char* room(std::size_t n) {
    if (cap_ - len_ < n) drain();
    return buf_.get() + len_;
  }
  void commit(char* end) { len_ = static_cast<std::size_t>(end - buf_.get()); }
  void put(char c) {
    *room(1) = c;
    ++len_;
  }
  void put(std::string_view s);

  // Writes out what is buffered; a failure stops the run.
  void flush();
  // Flushes, then closes the descriptor so that a late error is seen too.
  void finish();

  // What an in-memory output holds.
  const std::string& text();

 private:
  void drain();

  std::FILE* stream_ = nullptr;  // written through when it has no descriptor
  int fd_ = -1;
  bool inMemory_ = false;
  Failure failure_;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_;
  std::size_t len_ = 0;
  std::string memory_;
};

}  // namespace dbc::audit
