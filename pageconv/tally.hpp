// The layout pass's count of line and page lengths, made a stretch of 64 bytes at a time from
// where the line ends, line feeds and form feeds of the stretch lie. Built once for each
// instruction set, with the search of the stretch folded in.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dbc::pageconv {

// Line and page lengths so far. Lines are counted as the document shows them: text that a form
// feed or the end of the file ends without a line feed is a line of its own.
struct Tally {
  std::int64_t linsiz = 0, linmax = 0;
  std::int64_t pagsiz = 0, pagmax = 0;
  bool text = false;  // the current line holds text that no line feed has ended yet
};

// The line ends among 64 bytes, and which of them are line feeds and which form feeds: bit j
// stands for byte j.
struct Marks {
  std::uint64_t ends;
  std::uint64_t feeds;
  std::uint64_t forms;
};

// Counts p[0..n) into t.
using Tallier = void (*)(const char* p, std::size_t n, Tally& t);

// Lines run to some tens of bytes at the least, so most stretches are taken whole: once a line
// of 64 bytes has been seen, only the line that crosses into a stretch can be the longest, and
// with no form feed in it the stretch adds its line feeds to the page. Stretches with a form
// feed, and all while every line was short, are taken one line end at a time.
// `kMarks` finds the marks of the 64 bytes at its argument.
template <Marks (*kMarks)(const char*)>
[[gnu::always_inline]] inline void tallyWith(const char* p, std::size_t n, Tally& tally) {
  // Kept apart from `tally`, which the bytes read could otherwise stand for.
  std::int64_t linsiz = tally.linsiz, linmax = tally.linmax;
  std::int64_t pagsiz = tally.pagsiz, pagmax = tally.pagmax;
  bool text = tally.text;
  for (std::size_t base = 0; base < n; base += 64) {
    // The last, partial stretch is read from a copy behind bytes that are no line end.
    char tail[64];
    const char* q = p + base;
    std::int64_t size = 64;
    std::uint64_t valid = ~std::uint64_t{0};
    if (n - base < 64) {
      std::memset(tail, 'A', sizeof tail);
      std::memcpy(tail, q, n - base);
      q = tail;
      size = static_cast<std::int64_t>(n - base);
      valid = (std::uint64_t{1} << size) - 1;
    }
    const Marks m = kMarks(q);
    if (m.forms == 0 && linmax >= 64) {
      // Without branches on the marks, which follow the text's lines. A line that goes on past
      // the stretch counts as long as it is so far, no longer than it will be counted at its end.
      linmax = std::max<std::int64_t>(linmax, linsiz + std::countr_zero(m.ends | ~valid));
      const std::int64_t kept = -static_cast<std::int64_t>(m.ends == 0);
      linsiz = (linsiz & kept) + size - 64 + std::countl_zero(m.ends);
      pagsiz += std::popcount(m.feeds);
      // Text after the last line feed, or anywhere if there is none.
      const unsigned past = 64 - static_cast<unsigned>(std::countl_zero(m.feeds));
      const std::uint64_t after = (~std::uint64_t{0} << (past / 2)) << (past - past / 2);
      text = ((~m.ends & valid & after) != 0) | (text & (m.feeds == 0));
      continue;
    }
    std::int64_t from = 0;  // where the text since the last line end began
    for (std::uint64_t e = m.ends; e != 0; e &= e - 1) {
      const std::int64_t at = std::countr_zero(e);
      linsiz += at - from;
      text = text || at > from;
      from = at + 1;
      linmax = std::max(linmax, linsiz);
      linsiz = 0;
      const std::uint64_t bit = e & -e;
      // A carriage return: the line is printed over.
      if ((m.forms & bit) == 0 && (m.feeds & bit) == 0) continue;
      if ((m.feeds & bit) != 0 || text) ++pagsiz;
      text = false;
      if ((m.forms & bit) != 0) {
        pagmax = std::max(pagmax, pagsiz);
        pagsiz = 0;
      }
    }
    linsiz += size - from;
    text = text || size > from;
  }
  tally = {linsiz, linmax, pagsiz, pagmax, text};
}

}  // namespace dbc::pageconv
