#include "dbtidy/lineio.hpp"

#include <unistd.h>

#include <cstring>

#include "dbtidy/formatter.hpp"

namespace dbc::dbtidy {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

BlockReader::BlockReader(dbc::Fd fd)
    : fd_(std::move(fd)), in_(dbc::RefillReader::sequential(fd_.get(), kBlock)) {}

bool BlockReader::next(std::string_view& bytes) {
  if (in_.pos() == in_.len() && !ended_) {
    ssize_t n = in_.refill();
    if (n < 0) return false;
    ended_ = n == 0;
  }
  bytes = std::string_view(reinterpret_cast<const char*>(in_.data()) + in_.pos(),
                           in_.len() - in_.pos());
  return true;
}

LineReader::LineReader(dbc::Fd fd, Counters& counters, std::FILE* trace)
    : blocks_(std::move(fd)), counters_(counters), trace_(trace) {}

bool LineReader::getline_dbtidy(std::string& inputline) {
  inputline.clear();
  counters_.ibytes += 1;
  std::size_t stored = 0;
  for (;;) {
    std::string_view bytes;
    if (!blocks_.next(bytes)) return false;
    if (bytes.empty()) {
      counters_.ibytes += 1;  // the fetch that met the end
      break;
    }
    // Take bytes up to the line end, the 1000-character limit or the end of the block at once.
    const char* start = bytes.data();
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', bytes.size()));
    std::size_t span = lf ? static_cast<std::size_t>(lf - start) : bytes.size();
    std::size_t take = 0;
    while (take < span && stored < kLineMax) {
      char c = start[take++];
      if (c == '\r') continue;
      inputline.push_back(c);
      ++stored;
    }
    blocks_.take(take);
    counters_.ibytes += static_cast<long long>(take);
    // A line cut at the limit leaves its line end to the next read.
    if (stored == kLineMax) break;
    if (lf && take == span) {
      blocks_.take(1);
      counters_.ibytes += 1;
      break;
    }
  }
  // The text of a line ends at a zero byte; what follows it up to the line end is read, not used.
  std::size_t zero = inputline.find('\0');
  if (zero != std::string::npos) inputline.resize(zero);
  if (trace_) std::fprintf(trace_, "Line in : [%s]\n", inputline.c_str());
  // The read that met the end with nothing stored is no line, and is not counted as one.
  if (!(blocks_.eof() && stored == 0)) counters_.linecnt += 1;
  return true;
}

LineWriter::LineWriter(dbc::Fd fd, Counters& counters, std::FILE* trace)
    : fd_(std::move(fd)), counters_(counters), trace_(trace) {
  buf_.reserve(kBlock + kLineMax + 1);
}

bool LineWriter::flush() {
  if (!failed_ && !buf_.empty() && !dbc::writeFull(fd_.get(), buf_.data(), buf_.size())) {
    failed_ = true;
  }
  buf_.clear();
  return !failed_;
}

bool LineWriter::putline(const std::string& outline) {
  if (trace_) std::fprintf(trace_, "Line Out: [%s]\n", outline.c_str());
  std::size_t n = std::strlen(outline.c_str());
  if (n > kLineMax) n = kLineMax;
  buf_.insert(buf_.end(), outline.data(), outline.data() + n);
  buf_.push_back('\n');
  counters_.obytes += static_cast<long long>(n) + 2;
  if (buf_.size() >= kBlock) return flush();
  return !failed_;
}

bool LineWriter::close(bool durable) {
  bool ok = flush();
  if (ok && durable && ::fsync(fd_.get()) != 0) ok = false;
  if (!fd_.close()) ok = false;
  failed_ = failed_ || !ok;
  return ok;
}

}  // namespace dbc::dbtidy
