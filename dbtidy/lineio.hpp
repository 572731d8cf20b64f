// Source lines in and formatted lines out, with the run's byte and line counters. Lines are cut
// at 1000 characters and lose their CRs on the way in; they end in one LF on the way out.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/io.hpp"
#include "common/refill.hpp"

namespace dbc::dbtidy {

// The counts the closing summary prints. They are the summary's own, not the file's sizes: a read
// counts one more byte than it took and the read that meets the end one more again (the summary
// takes 2 off), and every line written counts its line end twice, although one byte is written.
struct Counters {
  long long linecnt = 0;  // lines read; the number of the line being formatted
  long long ibytes = 0;   // bytes read, one more per read and per fetch that met the end
  long long obytes = 0;   // bytes written, every line end counted twice
};

// The bytes of a file a block at a time. This is all the line reader asks of a buffered reader,
// so another with the same three calls can take its place without touching the line rules.
class BlockReader {
 public:
  explicit BlockReader(dbc::Fd fd);

  // The bytes not yet taken, read from the file once every byte before was taken; empty once
  // the end of the file is met. False on a read error (errno set).
  bool next(std::string_view& bytes);
  void take(std::size_t n) { in_.take(n); }
  bool eof() const { return ended_; }

 private:
  dbc::Fd fd_;
  dbc::RefillReader in_;
  bool ended_ = false;  // a fetch met the end of the file
};

class LineReader {
 public:
  // `trace` is where -V shows each line read; null for no trace.
  LineReader(dbc::Fd fd, Counters& counters, std::FILE* trace);

  // Reads the next line into `inputline` (at most 1000 characters, no line end, cut at a zero
  // byte). Returns false on a read error (errno set); the end of the file shows in eof().
  bool getline_dbtidy(std::string& inputline);
  bool eof() const { return blocks_.eof(); }

 private:
  BlockReader blocks_;
  Counters& counters_;
  std::FILE* trace_;
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

}  // namespace dbc::dbtidy
