// Plain lines written as one stream: the bytes to escape, line ends among them, are found 64 at a
// time wherever the lines fall, and the text between two of them is moved in one step. Built once
// for each instruction set, as the lines of a block are nearly all the work of a conversion.
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

// What a RunWriter does, made with `kMarks`, which finds the marks of the 64 bytes at its
// argument, and `kMove`, which moves 64 bytes. The bytes to escape other than line ends are
// escaped where they stand, and the text before each of them is moved with one move of 64 bytes.
// Lines ended by a line feed, or a carriage return and a line feed, are taken in the stream;
// any other line, and the last lines of the block, within kStreamAhead of its end, are left to
// `kLines`, the first one line alone, after which the stream goes on.
template <StreamMarks (*kMarks)(const char*), void (*kMove)(char*, const char*), RunWriter kLines>
[[gnu::always_inline]] inline void streamWith(LineRun& run, std::size_t until) {
  const char* const p = run.p;
  const std::size_t n = run.n;
  std::size_t i = run.i;  // where the line being written starts
  char* w = run.w;
  bool open = run.open;  // as it was when the line started
  std::int64_t linmax = run.linmax, pagsiz = run.pagsiz;
  for (;;) {
    if (i >= until) break;
    char* line = w;  // what is written of a line that is left to kLines is dropped
    if (!open) w = static_cast<char*>(std::memcpy(w, "\\par ", 5)) + 5;
    std::size_t from = i;  // the first byte not yet moved or escaped
    bool other = false;    // the line at i is left to kLines
    bool overprinted = false;
    std::size_t end = 0;  // where the text of an overprinted line ends
    for (std::size_t base = i; !other && n - base >= kStreamAhead;) {
      other = base - i >= kPlainMax;
      const StreamMarks m = kMarks(p + base);
      std::uint64_t events = other ? 0 : m.escaped & (~std::uint64_t{0} << (from - base));
      while (events != 0) {
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
          other = true;
          // A line printed over is not for kLines either, and where its text ends is known.
          overprinted = p[at] == '\r' && !isLineEnd(static_cast<unsigned char>(p[at + 1])) &&
                        at - i < kPlainMax;
          end = at;
          break;
        }
        linmax = std::max(linmax, static_cast<std::int64_t>(at - i));
        ++pagsiz;
        *w++ = '\n';
        open = false;
        i = from = at + 1 + crlf;
        if (i >= until) {
          line = w;
          break;
        }
        line = w;
        w = static_cast<char*>(std::memcpy(w, "\\par ", 5)) + 5;
        if (from - base >= 64) break;
        events &= ~std::uint64_t{0} << (from - base);
      }
      if (other || i >= until) break;
      if (from - base >= 64) {
        base = from;
        continue;
      }
      kMove(w, p + from);
      w += base + 64 - from;
      from = base += 64;
    }
    run.i = i;
    run.w = line;
    run.open = open;
    run.linmax = linmax;
    run.pagsiz = pagsiz;
    if (i >= until) return;
    if (overprinted) {
      run.end = end;
      return;
    }
    if (!other) break;
    kLines(run, i + 1);
    if (run.i == i) return;  // kLines stopped before it, and said where its text ends
    i = run.i;
    w = run.w;
    open = run.open;
    linmax = run.linmax;
    pagsiz = run.pagsiz;
  }
  kLines(run, until);
}

}  // namespace dbc::pageconv
