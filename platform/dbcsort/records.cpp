#include "platform/dbcsort/records.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/format.hpp"
#include "common/io.hpp"
#include "platform/dbcsort/failure.hpp"

namespace dbc::dbcsort {

RecordReader::RecordReader(int fd, Form form, off_t start, off_t end, std::size_t bufferSize,
                           std::string name)
    : fd_(fd), form_(form), offset_(start), end_(end), name_(std::move(name)) {
  buf_.resize(bufferSize < 64 ? 64 : bufferSize);
}

bool RecordReader::refill() {
  if (eof_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, len_ - pos_);
    len_ -= pos_;
    scan_ -= pos_;
    pos_ = 0;
  }
  // A record longer than the buffer: the buffer grows to hold it whole.
  if (len_ == buf_.size()) buf_.resize(buf_.size() * 2);
  std::size_t want = buf_.size() - len_;
  if (end_ >= 0 && static_cast<off_t>(want) > end_ - offset_) {
    want = static_cast<std::size_t>(end_ - offset_);
  }
  ssize_t got = 0;
  if (want > 0) {
    got = sequential_ ? dbc::readFull(fd_, buf_.data() + len_, want)
                      : dbc::preadFull(fd_, buf_.data() + len_, want, offset_);
    // A pipe or a FIFO (/dev/stdin) has no offsets; read whole, it is read as it comes.
    if (got < 0 && errno == ESPIPE && end_ < 0 && offset_ == 0 && !sequential_) {
      sequential_ = true;
      got = dbc::readFull(fd_, buf_.data() + len_, want);
    }
  }
  if (got < 0) {
    fail(1, "DBCSORT: cannot read %s: %s\n", name_.c_str(), std::strerror(errno));
  }
  offset_ += got;
  len_ += static_cast<std::size_t>(got);
  if (static_cast<std::size_t>(got) < want || want == 0) eof_ = true;
  return got > 0;
}

std::size_t RecordReader::findEnd(std::size_t from, std::size_t& resume) const {
  const char* b = buf_.data();
  resume = len_;
  if (form_ == Form::kText) {
    const void* nl = std::memchr(b + from, '\n', len_ - from);
    return nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - b) : std::string::npos;
  }
  for (std::size_t i = from; i < len_; ++i) {
    unsigned char c = static_cast<unsigned char>(b[i]);
    if (c == dbc::kSpaceRun) {
      if (i + 1 >= len_) {
        resume = i;  // the count byte is still to come
        return std::string::npos;
      }
      ++i;
    } else if (c == dbc::kRecordMark || c == dbc::kEofMark || c == '\n') {
      return i;
    }
  }
  return std::string::npos;
}

bool RecordReader::next(std::string_view& record) {
  if (done_) return false;
  scan_ = pos_;
  for (;;) {
    std::size_t resume;
    std::size_t e = findEnd(scan_, resume);
    if (e != std::string::npos) {
      unsigned char c = static_cast<unsigned char>(buf_[e]);
      if (form_ == Form::kCompressed && c == dbc::kEofMark) {
        // The end-of-file mark: whatever came before it in the same record still counts.
        done_ = true;
        if (e == pos_) return false;
      }
      record = std::string_view(buf_.data() + pos_, e - pos_);
      pos_ = e + 1;
      return true;
    }
    scan_ = resume;
    if (!refill()) {
      done_ = true;
      // A space-run marker left at the very end, its count byte never come, stands for nothing;
      // written out in front of a mark it would take that mark for its count and swallow the
      // next record, so it is dropped.
      if (len_ == pos_) return false;
      const std::size_t end = scan_ < len_ ? scan_ : len_;
      record = std::string_view(buf_.data() + pos_, end - pos_);
      pos_ = len_;
      return true;
    }
  }
}

Writer::Writer(int fd, std::size_t bufferSize, std::string name, off_t at)
    : fd_(fd), name_(std::move(name)), at_(at) {
  buf_.resize(bufferSize < 64 ? 64 : bufferSize);
}

void Writer::write(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    if (len_ == buf_.size()) flush();
    std::size_t k = std::min(n, buf_.size() - len_);
    std::memcpy(buf_.data() + len_, p, k);
    len_ += k;
    p += k;
    n -= k;
  }
}

off_t Writer::makeRoom(off_t n) {
  flush();
  off_t place = at_ >= 0 ? at_ + written_ : ::lseek(fd_, n, SEEK_CUR) - n;
  if (place < 0) fail(1, "DBCSORT: cannot write %s: %s\n", name_.c_str(), std::strerror(errno));
  written_ += n;
  return place;
}

void Writer::flush() {
  if (len_ == 0) return;
  const bool written = at_ < 0 ? dbc::writeFull(fd_, buf_.data(), len_)
                               : dbc::pwriteFull(fd_, buf_.data(), len_, at_ + written_);
  if (!written) {
    fail(1, "DBCSORT: cannot write %s: %s\n", name_.c_str(), std::strerror(errno));
  }
  // Only a hint: a failure here shows up in the sync that follows.
  if (writeBehind_)
    ::sync_file_range(fd_, std::max<off_t>(at_, 0) + written_, static_cast<off_t>(len_),
                      SYNC_FILE_RANGE_WRITE);
  written_ += static_cast<off_t>(len_);
  len_ = 0;
}

}  // namespace dbc::dbcsort
