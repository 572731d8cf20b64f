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

ssize_t readFull(int fd, void* buf, std::size_t n) {
  char* p = static_cast<char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::read(fd, p + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(done);
}

ssize_t preadFull(int fd, void* buf, std::size_t n, off_t offset) {
  char* p = static_cast<char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd, p + done, n - done, offset + static_cast<off_t>(done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(done);
}

bool writeFull(int fd, const void* buf, std::size_t n) {
  const char* p = static_cast<const char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    ssize_t w = ::write(fd, p + done, n - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(w);
  }
  return true;
}

bool pwriteFull(int fd, const void* buf, std::size_t n, off_t offset) {
  const char* p = static_cast<const char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    ssize_t w = ::pwrite(fd, p + done, n - done, offset + static_cast<off_t>(done));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(w);
  }
  return true;
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
