// A buffer of the bytes read from a file and not yet taken, for the readers that take records or
// lines of any length from it. Refilling keeps the bytes not yet taken (moved to the front), so a
// record that straddles two reads is whole in the buffer afterwards, and grows the buffer when
// they fill it, so a record longer than the buffer is whole too. Reads go through io.hpp's
// loops: a short count or EINTR is never taken for the end of the file, and a read error is
// handed back for the caller to report, never taken for the end of the data either.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <vector>

namespace dbc {

class RefillReader {
 public:
  // Reads the bytes of `fd` (not owned) from `start` up to `end` (-1: to the end of the file)
  // with positioned reads, so that several readers may share one descriptor; a whole file that
  // has no offsets (a pipe, a FIFO) is read as it comes. `capacity` is the starting size.
  RefillReader(int fd, std::size_t capacity, off_t start = 0, off_t end = -1);
  // Reads `fd` from its current position on, as it comes.
  static RefillReader sequential(int fd, std::size_t capacity);

  // The bytes held: data()[pos() .. len()) are not yet taken.
  const unsigned char* data() const { return buf_.data(); }
  std::size_t pos() const { return pos_; }
  std::size_t len() const { return len_; }
  void take(std::size_t n) { pos_ += n; }
  void takeTo(std::size_t pos) { pos_ = pos; }
  // The data has no more bytes beyond those held.
  bool eof() const { return eof_; }

  // Moves the bytes not yet taken to the front (indexes into the buffer shift down by pos()),
  // makes room, and reads as much as fits. Returns the count read: 0 once the data has no more,
  // -1 on a read error (errno set).
  ssize_t refill();

 private:
  int fd_;
  off_t offset_;  // file offset of the byte after the buffer's content
  off_t end_;
  std::vector<unsigned char> buf_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool eof_ = false;
  bool sequential_ = false;
};

}  // namespace dbc
