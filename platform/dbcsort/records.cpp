#include "platform/dbcsort/records.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/format.hpp"
#include "common/framing_wide.hpp"
#include "common/io.hpp"
#include "platform/dbcsort/failure.hpp"

namespace dbc::dbcsort {

RecordReader::RecordReader(int fd, Form form, off_t start, off_t end, std::size_t bufferSize,
                           std::string name)
    : in_(fd, bufferSize < 64 ? 64 : bufferSize, start, end), form_(form), name_(std::move(name)) {}

bool RecordReader::refill() {
  ssize_t got = in_.refill();
  if (got < 0) {
    fail(1, "DBCSORT: cannot read %s: %s\n", name_.c_str(), std::strerror(errno));
  }
  return got > 0;
}

namespace {

// The end of a text line: its line feed.
dbc::RecordEnd lineEnd(const unsigned char* b, std::size_t from, std::size_t len) {
  const void* nl = std::memchr(b + from, '\n', len - from);
  if (!nl) return {false, len};
  return {true, static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - b)};
}

// The next record of `in` (data(), pos(), len(), takeTo() as RefillReader has them), its end
// found by `findEnd` (dbc::findRecordEnd's contract); `refill` brings more bytes after those
// not yet taken and says whether any came. `done` is set once no record can follow.
template <typename Source, typename Refill, typename FindEnd>
bool nextRecord(Source& in, Form form, bool& done, std::string_view& record, Refill refill,
                FindEnd findEnd) {
  std::size_t scan = in.pos();  // where the search for the record's end resumes
  for (;;) {
    const unsigned char* b = in.data();
    const std::size_t pos = in.pos();
    const std::size_t len = in.len();
    dbc::RecordEnd e = findEnd(b, scan, len);
    if (e.found) {
      if (form == Form::kCompressed && b[e.at] == dbc::kEofMark) {
        // The end-of-file mark: whatever came before it in the same record still counts.
        done = true;
        if (e.at == pos) return false;
      }
      in.takeTo(e.at + 1);
      record = std::string_view(reinterpret_cast<const char*>(b) + pos, e.at - pos);
      return true;
    }
    const std::size_t ahead = e.at - pos;  // refilling moves the bytes not yet taken
    if (!refill()) {
      done = true;
      // A space-run marker left at the very end, its count byte never come, stands for nothing;
      // written out in front of a mark it would take that mark for its count and swallow the
      // next record, so it is dropped.
      if (in.len() == in.pos()) return false;
      record = std::string_view(reinterpret_cast<const char*>(in.data()) + in.pos(), ahead);
      in.takeTo(in.len());
      return true;
    }
    scan = in.pos() + ahead;
  }
}

// nextRecord() with the search of the form's record end: one loop for each form, so that each
// has only its own search inside.
template <typename Source, typename Refill>
bool nextOfForm(Source& in, Form form, bool& done, std::string_view& record, Refill refill) {
  if (done) return false;
  using Bytes = const unsigned char*;
  if (form == Form::kText) {
    return nextRecord(
        in, form, done, record, refill,
        [](Bytes b, std::size_t from, std::size_t len) { return lineEnd(b, from, len); });
  }
  return nextRecord(in, form, done, record, refill, [](Bytes b, std::size_t from, std::size_t len) {
    return dbc::findRecordEndWide(b, from, len);
  });
}

}  // namespace

bool RecordReader::next(std::string_view& record) {
  return nextOfForm(in_, form_, done_, record, [this] { return refill(); });
}

bool SpanReader::next(std::string_view& record) {
  return nextOfForm(*this, form_, done_, record, [] { return false; });
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
