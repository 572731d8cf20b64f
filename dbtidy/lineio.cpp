#include "dbtidy/lineio.hpp"

#include <unistd.h>

#include <cstring>

#include "dbtidy/formatter.hpp"

namespace dbtidy {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

LineReader::LineReader(dbc::Fd fd, Counters& counters, std::FILE* trace)
    : fd_(std::move(fd)), counters_(counters), trace_(trace), buf_(kBlock) {}

bool LineReader::fill() {
  ssize_t n = dbc::readFull(fd_.get(), buf_.data(), buf_.size());
  if (n < 0) return false;
  pos_ = 0;
  end_ = static_cast<std::size_t>(n);
  if (n == 0) eof_ = true;
  return true;
}

bool LineReader::getline_dbtidy(std::string& inputline) {
  inputline.clear();
  counters_.ibytes += 1;
  std::size_t stored = 0;
  for (;;) {
    if (pos_ == end_) {
      if (!eof_ && !fill()) return false;
      if (eof_) {
        counters_.ibytes += 1;  // the fetch that met the end
        break;
      }
    }
    // Take bytes up to the line end, the 1000-character limit or the end of the block at once.
    const char* start = buf_.data() + pos_;
    std::size_t avail = end_ - pos_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
    std::size_t span = lf ? static_cast<std::size_t>(lf - start) : avail;
    std::size_t take = 0;
    while (take < span && stored < kLineMax) {
      char c = start[take++];
      if (c == '\r') continue;
      inputline.push_back(c);
      ++stored;
    }
    pos_ += take;
    counters_.ibytes += static_cast<long long>(take);
    // A line cut at the limit leaves its line end to the next read.
    if (stored == kLineMax) break;
    if (lf && take == span) {
      ++pos_;
      counters_.ibytes += 1;
      break;
    }
  }
  std::size_t zero = inputline.find('\0');
  if (zero != std::string::npos) inputline.resize(zero);
  if (trace_) std::fprintf(trace_, "Line in : [%s]\n", inputline.c_str());
  if (!(eof_ && stored == 0)) counters_.linecnt += 1;
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

}  // namespace dbtidy
