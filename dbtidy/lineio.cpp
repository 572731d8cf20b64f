#include "dbtidy/lineio.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "dbtidy/bytescan.hpp"
#include "dbtidy/formatter.hpp"
#include "dbtidy/linestop.hpp"

namespace dbc::dbtidy {

namespace {
// Reads and writes go in blocks this large: few system calls, and a block still fits the cache.
constexpr std::size_t kBlock = LineReader::kReadBlock;
}  // namespace

LineReader::LineReader(dbc::Fd fd, Counters& counters, std::FILE* trace)
    : fd_(std::move(fd)),
      counters_(counters),
      trace_(trace),
      buf_(kHead + kBlock + kScan + kSlack),
      slow_(kLineMax + kSlack) {}

// Moves the bytes not yet taken to just before the block and reads a block behind them; should
// they not fit there, they go to the front and the read fills what is left. Only a short read
// says the file has no more: a read error is never taken for its end.
bool LineReader::fill() {
  const std::size_t kept = len_ - pos_;
  const std::size_t to = kept <= kHead ? kHead - kept : 0;
  std::memmove(buf_.data() + to, buf_.data() + pos_, kept);
  pos_ = to;
  len_ = to + kept;
  const std::size_t want = kHead + kBlock - len_;
  const ssize_t got = dbc::readFull(fd_.get(), buf_.data() + len_, want);
  if (got < 0) return false;
  len_ += static_cast<std::size_t>(got);
  if (static_cast<std::size_t>(got) < want) drained_ = true;
  scanFrom(pos_);
  return true;
}

// The first stop at or after pos_, or len_ when the bytes held have none.
std::size_t LineReader::nextStop() {
  while (stops_ == 0) {
    if (base_ + kScan >= len_) return len_;
    scanFrom(base_ + kScan);
  }
  return base_ + static_cast<std::size_t>(__builtin_ctzll(stops_));
}

void LineReader::took(std::span<char> line, bool stored) {
  if (trace_) {
    std::fprintf(trace_, "Line in : [%.*s]\n", static_cast<int>(line.size()), line.data());
  }
  // The read that met the end with nothing stored is no line, and is not counted as one.
  if (!(eof_ && !stored)) counters_.linecnt += 1;
}

// A line as it lies in the buffer, when its bytes up to the line end (or its first 1000) hold no
// CR and no zero byte, or only the CR of a CR LF; everything else goes byte by byte.
bool LineReader::nextApart(std::span<char>& line) {
  counters_.ibytes += 1;
  for (;;) {
    char* const start = buf_.data() + pos_;
    const std::size_t avail = len_ - pos_;
    const std::size_t window = std::min(avail, kLineMax);
    const std::size_t stop = nextStop() - pos_;
    std::size_t length = stop;
    std::size_t taken = 0;
    if (stop < window) {
      if (start[stop] == '\n') {
        taken = stop + 1;
      } else if (start[stop] == '\r' && stop + 1 < avail && start[stop + 1] == '\n') {
        taken = stop + 2;  // CR LF, the CR dropped as any CR is
      } else {
        return readSlowly(line);
      }
    } else if (window == kLineMax) {
      length = taken = kLineMax;  // cut at the limit; the line end is left to the next read
    } else if (drained_) {
      taken = avail;  // the last line, without a line end: its fetch meets the end
      counters_.ibytes += 1;
      eof_ = true;
    } else {
      if (!fill()) return false;
      continue;
    }
    pos_ += taken;
    dropTaken();
    counters_.ibytes += static_cast<long long>(taken);
    line = std::span<char>(start, length);
    took(line, length != 0);
    return true;
  }
}

// A fetch at a time, each counted: CRs dropped wherever they are, the line's text ended at a zero
// byte although the bytes up to its line end are still read.
bool LineReader::readSlowly(std::span<char>& line) {
  std::size_t stored = 0;
  for (;;) {
    if (pos_ == len_ && !drained_ && !fill()) return false;
    if (pos_ == len_) {
      counters_.ibytes += 1;  // the fetch that met the end
      eof_ = true;
      break;
    }
    const char c = buf_[pos_++];
    counters_.ibytes += 1;
    if (c == '\n') break;
    if (c == '\r') continue;
    slow_[stored] = c;
    if (++stored == kLineMax) break;
  }
  scanFrom(pos_);
  char* const text = slow_.data();
  line = std::span<char>(text, std::find(text, text + stored, '\0'));
  took(line, stored != 0);
  return true;
}

bool LineReader::getline_dbtidy(std::string& inputline) {
  std::span<char> line;
  if (!next(line)) return false;
  inputline.assign(line.data(), line.size());
  return true;
}

LineWriter::LineWriter(dbc::Fd fd, Counters& counters, std::FILE* trace)
    : fd_(std::move(fd)), counters_(counters), trace_(trace), buf_(kBlock + kLineMax + kSlack) {}

bool LineWriter::flush(bool all) {
  const std::size_t n = all ? used_ : std::min(used_, kBlock);
  if (!failed_ && n != 0 && !dbc::writeFull(fd_.get(), buf_.data(), n)) failed_ = true;
  std::memmove(buf_.data(), buf_.data() + n, used_ - n);
  used_ -= n;
  return !failed_;
}

void LineWriter::traceOut(std::size_t n) {
  std::fprintf(trace_, "Line Out: [%.*s]\n", static_cast<int>(n), room());
}

bool LineWriter::putline(std::string_view outline) {
  if (trace_) {
    std::fprintf(trace_, "Line Out: [%.*s]\n", static_cast<int>(outline.size()), outline.data());
  }
  const std::size_t n = std::min(outline.size(), kLineMax);
  std::copy(outline.begin(), outline.begin() + n, room());
  return finish(n);
}

bool LineWriter::close(bool durable) {
  bool ok = flush(true);
  if (ok && durable && ::fsync(fd_.get()) != 0) ok = false;
  if (!fd_.close()) ok = false;
  failed_ = failed_ || !ok;
  return ok;
}

}  // namespace dbc::dbtidy
