#include "platform/dbcsort/records.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/format.hpp"
#include "common/io.hpp"
#include "common/stop.hpp"

namespace dbcsort {

RecordReader::RecordReader(int fd, Form form, off_t start, off_t end, std::size_t bufferSize,
                           std::string name)
    : in_(fd, bufferSize < 64 ? 64 : bufferSize, start, end), form_(form), name_(std::move(name)) {}

bool RecordReader::refill() {
  std::size_t before = in_.pos();
  ssize_t got = in_.refill();
  if (got < 0) {
    std::fprintf(stderr, "DBCSORT: cannot read %s: %s\n", name_.c_str(), std::strerror(errno));
    throw dbc::Stop{1};
  }
  scan_ -= before - in_.pos();  // the bytes not yet taken moved to the front
  return got > 0;
}

dbc::RecordEnd RecordReader::findEnd(std::size_t from) const {
  const unsigned char* b = in_.data();
  if (form_ == Form::kCompressed) return dbc::findRecordEnd(b, from, in_.len());
  const void* nl = std::memchr(b + from, '\n', in_.len() - from);
  if (!nl) return {false, in_.len()};
  return {true, static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - b)};
}

bool RecordReader::next(std::string_view& record) {
  if (done_) return false;
  scan_ = in_.pos();
  for (;;) {
    dbc::RecordEnd e = findEnd(scan_);
    const char* b = reinterpret_cast<const char*>(in_.data());
    const std::size_t pos = in_.pos();
    if (e.found) {
      if (form_ == Form::kCompressed && in_.data()[e.at] == dbc::kEofMark) {
        // The end-of-file mark: whatever came before it in the same record still counts.
        done_ = true;
        if (e.at == pos) return false;
      }
      record = std::string_view(b + pos, e.at - pos);
      in_.takeTo(e.at + 1);
      return true;
    }
    scan_ = e.at;
    if (!refill()) {
      done_ = true;
      // A space-run marker left at the very end, its count byte never come, stands for nothing;
      // written out in front of a mark it would take that mark for its count and swallow the
      // next record, so it is dropped.
      if (in_.len() == in_.pos()) return false;
      record = std::string_view(reinterpret_cast<const char*>(in_.data()) + in_.pos(),
                                scan_ - in_.pos());
      in_.takeTo(in_.len());
      return true;
    }
  }
}

Writer::Writer(int fd, std::size_t bufferSize, std::string name) : fd_(fd), name_(std::move(name)) {
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

void Writer::flush() {
  if (len_ == 0) return;
  if (!dbc::writeFull(fd_, buf_.data(), len_)) {
    std::fprintf(stderr, "DBCSORT: cannot write %s: %s\n", name_.c_str(), std::strerror(errno));
    throw dbc::Stop{1};
  }
  // Only a hint: a failure here shows up in the sync that follows.
  if (writeBehind_)
    ::sync_file_range(fd_, written_, static_cast<off_t>(len_), SYNC_FILE_RANGE_WRITE);
  written_ += static_cast<off_t>(len_);
  len_ = 0;
}

}  // namespace dbcsort
