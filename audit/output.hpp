// Buffered standard output of the audit tools. Their output is data that the next tool of the
// chain reads, so a write that fails (a full disk, a closed pipe) must end the run with an error
// instead of leaving a short list behind a success status.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace audit {

class Output {
 public:
  // Writes to `fd`; `program` names the tool in the message of a failed write.
  Output(int fd, std::string program);
  // Keeps everything in memory (see text()); for tests.
  Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Space for at least `n` bytes (n <= 256); fill it and hand the end back to commit().
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

  // Writes out what is buffered; prints the error and throws dbc::Stop{1} when the write fails.
  void flush();
  // Flushes, then closes the descriptor so that a late error is seen too.
  void finish();

  // What an in-memory output holds.
  const std::string& text();

 private:
  void drain();

  int fd_ = -1;
  bool inMemory_ = false;
  std::string program_;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_;
  std::size_t len_ = 0;
  std::string memory_;
};

}  // namespace audit
