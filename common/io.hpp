// File descriptors owned by objects, and reads and writes that finish the whole count: they
// retry after EINTR and short transfers, and report a failed write instead of losing it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace dbc {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& o) noexcept : fd_(o.release()) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1);
  // Closes now and says whether the close succeeded (a late write error can surface here).
  bool close();

 private:
  int fd_ = -1;
};

// open(2) that retries after EINTR; the descriptor is close-on-exec.
Fd openFile(const std::string& path, int flags, mode_t mode = 0);

// Reads until `n` bytes or end of file. Returns the count read (less than n only at the end),
// or -1 with errno set. `done`, when given, receives the count read also when an error cut the
// read short, for a caller that reports how far it got.
ssize_t readFull(int fd, void* buf, std::size_t n);
ssize_t preadFull(int fd, void* buf, std::size_t n, off_t offset, std::size_t* done = nullptr);

// Writes all `n` bytes. Returns true when every byte was written; false with errno set
// otherwise (a write that makes no progress sets ENOSPC). `done` as for preadFull.
bool writeFull(int fd, const void* buf, std::size_t n);
bool pwriteFull(int fd, const void* buf, std::size_t n, off_t offset, std::size_t* done = nullptr);
inline bool writeFull(int fd, std::string_view s) { return writeFull(fd, s.data(), s.size()); }

// The whole content of a file, or false with errno set.
bool readWholeFile(const std::string& path, std::string& out);

}  // namespace dbc
