// A stream that collects what the code under test prints, for the unit tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace recmend {

class Capture {
 public:
  Capture() : f_(open_memstream(&buf_, &len_)) {}
  ~Capture() {
    if (f_) std::fclose(f_);
    std::free(buf_);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  FILE* file() { return f_; }
  std::string text() {
    std::fflush(f_);
    return std::string(buf_, len_);
  }

 private:
  char* buf_ = nullptr;
  std::size_t len_ = 0;
  FILE* f_;
};

}  // namespace recmend
