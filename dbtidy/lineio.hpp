// Source lines in and formatted lines out, with the run's byte and line counters. Lines are cut
// at 1000 characters and lose their CRs on the way in; they end in one LF on the way out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/io.hpp"
#include "dbtidy/formatter.hpp"
#include "dbtidy/linestop.hpp"
#include "dbtidy/pageblock.hpp"

namespace dbc::dbtidy {

// The counts the closing summary prints. They are the summary's own, not the file's sizes: a read
// counts one more byte than it took and the read that meets the end one more again (the summary
// takes 2 off), and every line written counts its line end twice, although one byte is written.
struct Counters {
  long long linecnt = 0;  // lines read; the number of the line being formatted
  long long ibytes = 0;   // bytes read, one more per read and per fetch that met the end
  long long obytes = 0;   // bytes written, every line end counted twice
};

class LineReader {
 public:
  // The file is read this many bytes at a time.
  static constexpr std::size_t kReadBlock = std::size_t{1} << 18;
  // Line ends are looked for this many bytes at a time.
  static constexpr std::size_t kScan = 64;
  // Room before the block for the part of a line that a read leaves unfinished (less than a
  // line's limit), so that every read goes to the page boundary the block starts on.
  static constexpr std::size_t kHead = PageBlock::kPage;

  // `trace` is where -V shows each line read; null for no trace.
  LineReader(dbc::Fd fd, Counters& counters, std::FILE* trace);

  // The next line (at most 1000 characters, no line end, no CR, cut at a zero byte) as a view
  // into the reader's own storage, which the caller may change in place; good until the next
  // call. Returns false on a read error (errno set); the end of the file shows in eof().
  bool next(std::span<char>& line) {
    // Most lines: the next stop is a line feed within the limit, and no trace is wanted. That
    // path is taken inline, in the run's loop; the rest (a scan, a cut, a CR, a refill, the end)
    // is taken apart.
    if (!trace_) {
      while (stops_ == 0 && base_ + kScan < len_) scanFrom(base_ + kScan);
    }
    if (stops_ != 0 && !trace_) {
      const std::size_t stop = base_ + static_cast<std::size_t>(__builtin_ctzll(stops_));
      const std::size_t length = stop - pos_;
      if (length < kLineMax && buf_[stop] == '\n') {
        line = std::span<char>(buf_.data() + pos_, length);
        pos_ = stop + 1;
        stops_ &= stops_ - 1;  // the stops before it are gone already
        counters_.ibytes += static_cast<long long>(length) + 2;
        counters_.linecnt += 1;
        return true;
      }
    }
    return nextApart(line);
  }
  // The same, copied into `inputline`.
  bool getline_dbtidy(std::string& inputline);
  bool eof() const { return eof_; }

 private:
  bool nextApart(std::span<char>& line);
  bool fill();
  std::size_t nextStop();
  // The buffer has kScan bytes beyond its block, so a scan near the end reads no byte outside
  // it, and kSlack more for the formatter's reads past the end of a line.
  void scanFrom(std::size_t at) {
    base_ = at;
    stops_ = stopMask(buf_.data() + at);
    if (len_ - at < kScan) stops_ &= (std::uint64_t{1} << (len_ - at)) - 1;
    dropTaken();
  }
  void dropTaken() {
    if (pos_ <= base_) return;
    const std::size_t k = pos_ - base_;
    stops_ = k >= kScan ? 0 : stops_ & (~std::uint64_t{0} << k);
  }
  bool readSlowly(std::span<char>& line);
  void took(std::span<char> line, bool stored);

  dbc::Fd fd_;
  Counters& counters_;
  std::FILE* trace_;
  PageBlock buf_;
  std::size_t pos_ = 0;  // buf_[pos_ .. len_) is read and not yet taken
  std::size_t len_ = 0;
  // The line ends, CRs and zero bytes of the 64 bytes from base_, those before pos_ or from len_
  // on left out. Every byte before base_ was looked at: scanning only moves forward.
  std::size_t base_ = 0;
  std::uint64_t stops_ = 0;
  bool drained_ = false;    // the file holds nothing beyond what was read
  bool eof_ = false;        // a fetch for a line met the end of the file
  std::vector<char> slow_;  // a line that had CRs or a zero byte, as its bytes were taken
};

class LineWriter {
 public:
  // Lines are gathered and written this many bytes at a time.
  static constexpr std::size_t kBlock = LineReader::kReadBlock;

  LineWriter(dbc::Fd fd, Counters& counters, std::FILE* trace);

  // Writes at most the first 1000 characters of `outline` and one LF. Returns false when a write
  // failed (errno set); the failure sticks. `outline` holds no zero byte (lines are cut at one
  // on the way in).
  bool putline(std::string_view outline);
  // Where the next line may be built in place: room for kLineMax + kSlack bytes. commit(n) then
  // writes its n characters (at most 1000) and a LF, as putline does.
  char* room() { return buf_.data() + used_; }
  bool commit(std::size_t n) {
    if (trace_) traceOut(n);
    return finish(n);
  }
  // Writes what is buffered and closes; false when any write or the close failed. With `durable`
  // the bytes are synced to disk before the close, and a failed sync counts as a failed write.
  bool close(bool durable = false);

 private:
  // Writes whole blocks and keeps the rest at the front, so that every write but the last starts
  // on a page boundary of the buffer and of the file; `all` writes the rest too.
  bool flush(bool all);
  void traceOut(std::size_t n);
  bool finish(std::size_t n) {
    buf_[used_ + n] = '\n';
    used_ += n + 1;
    counters_.obytes += static_cast<long long>(n) + 2;
    if (used_ >= kBlock) return flush(false);
    return !failed_;
  }

  dbc::Fd fd_;
  Counters& counters_;
  std::FILE* trace_;
  PageBlock buf_;
  std::size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace dbc::dbtidy
