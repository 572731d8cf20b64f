// Plain lines written as one stream: the bytes to escape, line ends among them, are found 64 at a
// time wherever the lines fall, and the text between two of them is moved in one step. Built for
// each vector instruction set, as the lines of a block are nearly all the work of a conversion;
// word arithmetic finds the bytes of interest too slowly for it to pay there.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pageconv/linetext.hpp"

namespace dbc::pageconv {

// A stretch is looked at only with this much of the block ahead of it, as the text between two
// bytes of interest is moved 64 bytes at a time from wherever it starts in the stretch.
inline constexpr std::size_t kStreamAhead = 128;

// The bytes of interest among 64: bit j stands for byte j.
struct StreamMarks {
  std::uint64_t escaped;  // isEscaped, line ends included
  std::uint64_t ends;     // isLineEnd
};

// Why a stream of lines stopped before a line, or after the last one that starts before
// `until`.
enum class StreamStop { kUntil, kNearEnd, kOther, kOverprinted };

// The stream between two lines: the line at i is written from `line` on in the document, its
// paragraph mark first unless `open` (a page break opened it); w is where its text goes on.
struct Stream {
  std::size_t i;
  char* line;
  char* w;
  bool open;
  std::int64_t linmax, pagsiz;
  std::size_t end;  // where the text of a line printed over ends
};

// The lines of p[0..n) from s.i on as one stream, up to the first line that starts at `until` or
// after it, or that is not ended by a line feed or a carriage return and a line feed, or that
// comes within kStreamAhead of n. The bytes to escape other than line ends are escaped where
// they stand, and the text before each of them is moved with one call of `kMove`, which moves 64
// bytes. `kMarks` finds the marks of the 64 bytes at its argument.
template <StreamMarks (*kMarks)(const char*), void (*kMove)(char*, const char*)>
[[gnu::always_inline]] inline StreamStop streamLines(const char* p, std::size_t n,
                                                     std::size_t until, Stream& s) {
  std::size_t i = s.i, from = i;  // from: the first byte not yet moved or escaped
  char *line = s.line, *w = s.w;
  bool open = s.open;
  std::int64_t linmax = s.linmax, pagsiz = s.pagsiz;
  auto stop = [&](StreamStop why) {
    s = {i, line, w, open, linmax, pagsiz, s.end};
    return why;
  };
  for (std::size_t base = i; n - base >= kStreamAhead;) {
    if (base - i >= kPlainMax) return stop(StreamStop::kOther);
    const StreamMarks m = kMarks(p + base);
    for (std::uint64_t events = m.escaped & (~std::uint64_t{0} << (from - base)); events != 0;) {
      const unsigned bit = static_cast<unsigned>(std::countr_zero(events));
      const std::size_t at = base + bit;
      kMove(w, p + from);
      w += at - from;
      if (((m.ends >> bit) & 1) == 0) {
        w = escape(w, static_cast<unsigned char>(p[at]));
        from = at + 1;
        events &= events - 1;
        continue;
      }
      const bool crlf = p[at] == '\r' && p[at + 1] == '\n';
      if ((!crlf && p[at] != '\n') || at - i >= kPlainMax) {
        s.end = at;
        const bool over = p[at] == '\r' && !isLineEnd(static_cast<unsigned char>(p[at + 1]));
        return stop(over && at - i < kPlainMax ? StreamStop::kOverprinted : StreamStop::kOther);
      }
      linmax = std::max(linmax, static_cast<std::int64_t>(at - i));
      ++pagsiz;
      *w++ = '\n';
      open = false;
      i = from = at + 1 + crlf;
      line = w;
      if (i >= until) return stop(StreamStop::kUntil);
      w = static_cast<char*>(std::memcpy(w, "\\par ", 5)) + 5;
      if (from - base >= 64) break;
      events &= ~std::uint64_t{0} << (from - base);
    }
    if (from - base >= 64) {
      base = from;
      continue;
    }
    kMove(w, p + from);
    w += base + 64 - from;
    from = base += 64;
  }
  return stop(StreamStop::kNearEnd);
}

// What a RunWriter does, the lines taken as one stream (streamLines) where they can be; any other
// line is left to `kLines`, that line alone, after which the stream goes on, and so are the last
// lines of the block.
template <StreamMarks (*kMarks)(const char*), void (*kMove)(char*, const char*), RunWriter kLines>
[[gnu::always_inline]] inline void streamWith(LineRun& run, std::size_t until) {
  StreamStop why = StreamStop::kUntil;
  while (run.i < until) {
    Stream s{run.i, run.w, run.w, run.open, run.linmax, run.pagsiz, 0};
    if (!s.open) s.w = static_cast<char*>(std::memcpy(s.w, "\\par ", 5)) + 5;
    why = streamLines<kMarks, kMove>(run.p, run.n, until, s);
    // Whatever was written of the line at s.i is dropped.
    run.i = s.i;
    run.w = s.line;
    run.open = s.open;
    run.linmax = s.linmax;
    run.pagsiz = s.pagsiz;
    if (why == StreamStop::kOverprinted) run.end = s.end;
    if (why != StreamStop::kOther) break;
    const std::size_t i = run.i;
    kLines(run, i + 1);
    if (run.i == i) return;  // kLines stopped before it, and said where its text ends
  }
  if (why == StreamStop::kNearEnd) kLines(run, until);
}

}  // namespace dbc::pageconv
