#include "audit/output.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/io.hpp"
#include "common/stop.hpp"

namespace audit {

namespace {
constexpr std::size_t kOutputBuffer = 1 << 17;
}

Output::Output(int fd, std::string program)
    : fd_(fd), program_(std::move(program)), buf_(new char[kOutputBuffer]), cap_(kOutputBuffer) {}

Output::Output() : inMemory_(true), buf_(new char[kOutputBuffer]), cap_(kOutputBuffer) {}

void Output::put(std::string_view s) {
  while (!s.empty()) {
    if (len_ == cap_) drain();
    std::size_t n = std::min(s.size(), cap_ - len_);
    std::memcpy(buf_.get() + len_, s.data(), n);
    len_ += n;
    s.remove_prefix(n);
  }
}

void Output::drain() {
  if (inMemory_) {
    memory_.append(buf_.get(), len_);
  } else if (len_ > 0 && fd_ >= 0 && !dbc::writeFull(fd_, buf_.get(), len_)) {
    int e = errno;
    len_ = 0;
    std::fprintf(stderr, "%s: error writing standard output: %s\n", program_.c_str(),
                 std::strerror(e));
    throw dbc::Stop{1};
  }
  len_ = 0;
}

void Output::flush() { drain(); }

void Output::finish() {
  drain();
  if (fd_ >= 0) {
    int fd = fd_;
    fd_ = -1;  // nothing more goes out
    if (::close(fd) != 0 && errno != EINTR) {
      std::fprintf(stderr, "%s: error writing standard output: %s\n", program_.c_str(),
                   std::strerror(errno));
      throw dbc::Stop{1};
    }
  }
}

const std::string& Output::text() {
  if (inMemory_) drain();
  return memory_;
}

}  // namespace audit
