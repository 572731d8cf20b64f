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
// The last lines of the block, within kStreamAhead of its end, are left to `kLines`.
template <StreamMarks (*kMarks)(const char*), void (*kMove)(char*, const char*), RunWriter kLines>
[[gnu::always_inline]] inline void streamWith(LineRun& run, std::size_t until) {
  const char* const p = run.p;
  const std::size_t n = run.n;
  std::size_t i = run.i;  // where the line being written starts
  char* w = run.w;
  bool open = run.open;  // as it was when the line started
  std::int64_t linmax = run.linmax, pagsiz = run.pagsiz, pagmax = run.pagmax;
  auto keep = [&](char* end) {
    run.i = i;
    run.w = end;
    run.open = open;
    run.linmax = linmax;
    run.pagsiz = pagsiz;
    run.pagmax = pagmax;
  };
  if (i >= until) return;
  char* line = w;  // what is written of a line that cannot be taken whole is dropped
  if (!open) w = static_cast<char*>(std::memcpy(w, "\\par ", 5)) + 5;
  std::size_t from = i;  // the first byte not yet moved or escaped
  for (std::size_t base = i; n - base >= kStreamAhead;) {
    if (base - i >= kPlainMax) {
      run.end = i + kPlainMax;
      keep(line);
      return;
    }
    const StreamMarks m = kMarks(p + base);
    std::uint64_t events = m.escaped & (~std::uint64_t{0} << (from - base));
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
      // Carriage returns right before the line feed or form feed change nothing.
      std::size_t end = at + (p[at] == '\r');
      while (end < n && p[end] == '\r') ++end;
      if (at - i >= kPlainMax || end == n || (p[end] != '\n' && p[end] != '\f')) {
        run.end = std::min(at, i + kPlainMax);
        keep(line);
        return;
      }
      linmax = std::max(linmax, static_cast<std::int64_t>(at - i));
      if (p[end] == '\n') {
        *w++ = '\n';
        open = false;
        ++pagsiz;
      } else {
        pagsiz += at > i;
        pagmax = std::max(pagmax, pagsiz);
        pagsiz = 0;
        if (at > i) w = static_cast<char*>(std::memcpy(w, "\n\\par ", 6)) + 6;
        w = static_cast<char*>(std::memcpy(w, "\\page\n", 6)) + 6;
        open = true;
      }
      i = from = end + 1;
      if (i >= until) {
        keep(w);
        return;
      }
      line = w;
      if (!open) w = static_cast<char*>(std::memcpy(w, "\\par ", 5)) + 5;
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
  keep(line);
  kLines(run, until);
}

}  // namespace dbc::pageconv
