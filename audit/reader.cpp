#include "audit/reader.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "common/io.hpp"

namespace dbc::audit {

namespace {

constexpr std::size_t kLineBuffer = 1 << 18;

[[noreturn]] void readFailed(const Failure& failure, const std::string& name, int error) {
  failure.stop("reading " + name, error);
}

}  // namespace

BlockReader::BlockReader(int fd, std::string name, Failure failure)
    : fd_(fd), name_(std::move(name)), failure_(std::move(failure)) {}

std::size_t BlockReader::next(unsigned char* buf, std::size_t n) {
  ssize_t got = dbc::readFull(fd_, buf, n);
  if (got < 0) readFailed(failure_, name_, errno);
  return static_cast<std::size_t>(got);
}

std::size_t BlockReader::at(std::int64_t offset, unsigned char* buf, std::size_t n) {
  if (offset < 0) return 0;
  // No read may reach past the largest offset there is.
  auto room = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max() - offset);
  if (n > room) n = static_cast<std::size_t>(room);
  ssize_t got = dbc::preadFull(fd_, buf, n, static_cast<off_t>(offset));
  if (got < 0) readFailed(failure_, name_, errno);
  return static_cast<std::size_t>(got);
}

LineReader::LineReader(int fd, std::string name, Failure failure)
    : in_(dbc::RefillReader::sequential(fd, kLineBuffer)),
      name_(std::move(name)),
      failure_(std::move(failure)) {}

void LineReader::refill() {
  if (in_.refill() < 0) readFailed(failure_, name_, errno);
}

bool LineReader::next(std::string_view& line) {
  const char* p;
  std::size_t avail;
  if (!peek(p, avail)) return false;
  std::size_t n = avail < kLineMax ? avail : kLineMax;
  const void* lf = std::memchr(p, '\n', n);
  if (lf != nullptr) n = static_cast<std::size_t>(static_cast<const char*>(lf) - p) + 1;
  line = std::string_view(p, n);
  in_.take(n);
  return true;
}

}  // namespace dbc::audit
