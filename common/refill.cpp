#include "common/refill.hpp"

#include <cerrno>
#include <cstring>

#include "common/io.hpp"

namespace dbc {

RefillReader::RefillReader(int fd, std::size_t capacity, off_t start, off_t end)
    : fd_(fd), offset_(start), end_(end), buf_(capacity < 1 ? 1 : capacity) {}

RefillReader RefillReader::sequential(int fd, std::size_t capacity) {
  RefillReader r(fd, capacity);
  r.sequential_ = true;
  return r;
}

ssize_t RefillReader::refill() {
  if (eof_) return 0;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, len_ - pos_);
    len_ -= pos_;
    pos_ = 0;
  }
  if (len_ == buf_.size()) buf_.resize(buf_.size() * 2);
  std::size_t want = buf_.size() - len_;
  if (end_ >= 0 && static_cast<off_t>(want) > end_ - offset_) {
    want = static_cast<std::size_t>(end_ - offset_);
  }
  ssize_t got = 0;
  if (want > 0) {
    unsigned char* to = buf_.data() + len_;
    got = sequential_ ? readFull(fd_, to, want) : preadFull(fd_, to, want, offset_);
    if (got < 0 && errno == ESPIPE && end_ < 0 && offset_ == 0 && !sequential_) {
      sequential_ = true;
      got = readFull(fd_, to, want);
    }
  }
  if (got < 0) return -1;
  offset_ += got;
  len_ += static_cast<std::size_t>(got);
  if (static_cast<std::size_t>(got) < want || want == 0) eof_ = true;
  return got;
}

}  // namespace dbc
