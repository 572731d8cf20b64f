#include "common/io.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace dbc {

void Fd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool Fd::close() {
  if (fd_ < 0) return true;
  int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 || errno == EINTR;
}

Fd openFile(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return Fd(fd);
}

namespace {

// Repeats `step(done)` until `n` bytes have moved, retrying after EINTR. A read stops early at
// end of file; a write that moves nothing is a full disk. `done` is the count moved so far,
// failure or not.
template <bool kWrite, typename Step>
ssize_t transferFull(std::size_t n, std::size_t& done, Step step) {
  done = 0;
  while (done < n) {
    ssize_t r = step(done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) {
      if (!kWrite) break;
      errno = ENOSPC;
      return -1;
    }
    done += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

ssize_t readFull(int fd, void* buf, std::size_t n) {
  char* p = static_cast<char*>(buf);
  std::size_t moved;
  return transferFull<false>(n, moved,
                             [&](std::size_t done) { return ::read(fd, p + done, n - done); });
}

ssize_t preadFull(int fd, void* buf, std::size_t n, off_t offset, std::size_t* done) {
  char* p = static_cast<char*>(buf);
  std::size_t moved;
  ssize_t r = transferFull<false>(n, moved, [&](std::size_t at) {
    return ::pread(fd, p + at, n - at, offset + static_cast<off_t>(at));
  });
  if (done) *done = moved;
  return r;
}

bool writeFull(int fd, const void* buf, std::size_t n) {
  const char* p = static_cast<const char*>(buf);
  std::size_t moved;
  return transferFull<true>(n, moved,
                            [&](std::size_t done) { return ::write(fd, p + done, n - done); }) >= 0;
}

bool pwriteFull(int fd, const void* buf, std::size_t n, off_t offset, std::size_t* done) {
  const char* p = static_cast<const char*>(buf);
  std::size_t moved;
  bool ok = transferFull<true>(n, moved, [&](std::size_t at) {
              return ::pwrite(fd, p + at, n - at, offset + static_cast<off_t>(at));
            }) >= 0;
  if (done) *done = moved;
  return ok;
}

bool readWholeFile(const std::string& path, std::string& out) {
  Fd fd = openFile(path, O_RDONLY);
  if (!fd) return false;
  out.clear();
  char buf[65536];
  for (;;) {
    ssize_t r = readFull(fd.get(), buf, sizeof buf);
    if (r < 0) return false;
    out.append(buf, static_cast<std::size_t>(r));
    if (static_cast<std::size_t>(r) < sizeof buf) return true;
  }
}

}  // namespace dbc
