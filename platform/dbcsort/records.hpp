// Reading records one at a time from a file or a stretch of one, in either form, and writing
// them back out through a buffer that notices every failed write.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/framing.hpp"
#include "common/refill.hpp"
#include "platform/dbcsort/options.hpp"

namespace dbc::dbcsort {

class RecordReader {
 public:
  // Reads the bytes of `fd` from `start` up to `end` (or to the end of the file when `end` is
  // -1) with positioned reads, so that several readers may share one descriptor; a whole file
  // that has no offsets (a pipe) is read as it comes. `name` is what a read error message calls
  // the file.
  RecordReader(int fd, Form form, off_t start, off_t end, std::size_t bufferSize, std::string name);

  // The next record without its terminator, valid until the next call; false at the end.
  // A compressed record ends at 0xFA or a line feed and the file at 0xFB; the byte after a
  // space-run marker is its count, never a terminator. A last record that the data leaves
  // open is still a record.
  bool next(std::string_view& record);

 private:
  // Reads more after the bytes not yet taken; false when nothing more came. A read error stops
  // the program with a message naming the file.
  bool refill();

  dbc::RefillReader in_;
  Form form_;
  std::string name_;
  bool done_ = false;  // 0xFB met or the data ended
};

// The records of bytes held whole in memory (an input file mapped), by the rules of
// RecordReader; each record is a view of those bytes, valid as long as they are.
class SpanReader {
 public:
  SpanReader(const unsigned char* data, std::size_t size, Form form)
      : data_(data), len_(size), form_(form) {}
  bool next(std::string_view& record);

  // What the record splitting needs of its source, as RecordReader's buffer offers it.
  const unsigned char* data() const { return data_; }
  std::size_t pos() const { return pos_; }
  std::size_t len() const { return len_; }
  void takeTo(std::size_t pos) { pos_ = pos; }

 private:
  const unsigned char* data_;
  std::size_t len_;
  std::size_t pos_ = 0;
  Form form_;
  bool done_ = false;
};

// Buffered writes to a descriptor; the first failure stops the sort with a message naming `name`
// and status 1. Given a position `at`, it writes from there on with positioned writes, so that
// several writers may fill stretches of one file at once; otherwise at the descriptor's offset.
class Writer {
 public:
  Writer(int fd, std::size_t bufferSize, std::string name, off_t at = -1);
  // Has the kernel start writing each flushed stretch to disk at once, so that a sync at the end
  // finds little left to write.
  void writeBehind() { writeBehind_ = true; }
  bool writesBehind() const { return writeBehind_; }
  void write(const void* data, std::size_t n);
  // `n` bytes and then `end`, as write() and put() would write them.
  void writeEnded(const void* data, std::size_t n, char end) {
    if (n < buf_.size() - len_) {  // the usual case, a short record: straight into the buffer
      std::memcpy(buf_.data() + len_, data, n);
      len_ += n;
      buf_[len_++] = end;
      return;
    }
    write(data, n);
    put(end);
  }
  void put(char c) {
    if (len_ == buf_.size()) flush();
    buf_[len_++] = c;
  }
  void flush();
  // Bytes handed to write() and put() so far.
  off_t written() const { return written_ + static_cast<off_t>(len_); }
  // Leaves the next `n` bytes of the file to other writers and goes on after them; returns where
  // they start. Only for a file with offsets.
  off_t makeRoom(off_t n);
  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

 private:
  int fd_;
  std::string name_;
  off_t at_;
  std::vector<char> buf_;
  std::size_t len_ = 0;
  off_t written_ = 0;
  bool writeBehind_ = false;
};

// Writes one record and its terminator in the form's output layout.
inline void writeRecord(Writer& w, Form form, std::string_view record) {
  w.writeEnded(record.data(), record.size(), form == Form::kText ? '\n' : static_cast<char>(0xFA));
}

}  // namespace dbc::dbcsort
