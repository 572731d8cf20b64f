// Source lines in and formatted lines out, with the run's byte and line counters. Lines are cut
// at 1000 characters and lose their CRs on the way in; they end in one LF on the way out.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/io.hpp"

namespace dbtidy {

struct Counters {
  long long linecnt = 0;  // lines read; the number of the line being formatted
  long long ibytes = 0;   // bytes read, one more per read and per fetch that met the end
  long long obytes = 0;   // bytes written, every line end counted twice
};

class LineReader {
 public:
  // `trace` is where -V shows each line read; null for no trace.
  LineReader(dbc::Fd fd, Counters& counters, std::FILE* trace);

  // Reads the next line into `inputline` (at most 1000 characters, no line end, cut at a zero
  // byte). Returns false on a read error (errno set); the end of the file shows in eof().
  bool getline_dbtidy(std::string& inputline);
  bool eof() const { return eof_; }
  dbc::Fd& fd() { return fd_; }

 private:
  bool fill();

  dbc::Fd fd_;
  Counters& counters_;
  std::FILE* trace_;
  std::vector<char> buf_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
};

class LineWriter {
 public:
  LineWriter(dbc::Fd fd, Counters& counters, std::FILE* trace);

  // Writes at most the first 1000 characters of `outline` and one LF. Returns false when a write
  // failed (errno set); the failure sticks.
  bool putline(const std::string& outline);
  // Writes what is buffered and closes; false when any write or the close failed. With `durable`
  // the bytes are synced to disk before the close, and a failed sync counts as a failed write.
  bool close(bool durable = false);

 private:
  bool flush();

  dbc::Fd fd_;
  Counters& counters_;
  std::FILE* trace_;
  std::vector<char> buf_;
  bool failed_ = false;
};

}  // namespace dbtidy
