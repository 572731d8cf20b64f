#include "audit/output.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/io.hpp"

namespace dbc::audit {

namespace {
constexpr std::size_t kOutputBuffer = 1 << 17;
constexpr std::string_view kWriting = "writing standard output";
}  // namespace

Output::Output(std::FILE* out, Failure failure)
    : failure_(std::move(failure)), buf_(new char[kOutputBuffer]), cap_(kOutputBuffer) {
  std::fflush(out);
  fd_ = ::fileno(out);
  if (fd_ < 0) stream_ = out;
}

Output::Output()
    : inMemory_(true),
      failure_{"", stdout, stderr},
      buf_(new char[kOutputBuffer]),
      cap_(kOutputBuffer) {}

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
  std::size_t n = len_;
  len_ = 0;
  if (inMemory_) {
    memory_.append(buf_.get(), n);
  } else if (n > 0 && fd_ >= 0) {
    if (!writeFull(fd_, buf_.get(), n)) failure_.stop(kWriting, errno);
  } else if (n > 0 && stream_ != nullptr) {
    if (std::fwrite(buf_.get(), 1, n, stream_) != n) failure_.stop(kWriting, errno);
  }
}

void Output::flush() { drain(); }

void Output::finish() {
  drain();
  if (fd_ >= 0) {
    int fd = std::exchange(fd_, -1);  // nothing more goes out
    // The close is where a file system that writes back late (NFS, a full quota) says so.
    if (::close(fd) != 0 && errno != EINTR) failure_.stop(kWriting, errno);
  } else if (stream_ != nullptr) {
    if (std::fflush(std::exchange(stream_, nullptr)) != 0) failure_.stop(kWriting, errno);
  }
}

const std::string& Output::text() {
  if (inMemory_) drain();
  return memory_;
}

}  // namespace dbc::audit
