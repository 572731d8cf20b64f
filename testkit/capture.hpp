// A memory stream standing in for standard output or standard error in unit tests: hand file()
// to the code under test, read back what it printed with text().
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testkit {

class Capture {
 public:
  Capture() : f_(open_memstream(&buf_, &len_)) {}
  ~Capture() {
    if (f_) std::fclose(f_);
    std::free(buf_);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  std::FILE* file() { return f_; }
  std::string text() {
    std::fflush(f_);
    return std::string(buf_, len_);
  }

 private:
  char* buf_ = nullptr;
  std::size_t len_ = 0;
  std::FILE* f_;
};

}  // namespace testkit
