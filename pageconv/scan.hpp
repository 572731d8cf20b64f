// Finding the next byte of interest in a print file eight bytes at a time: most bytes are plain
// text, and both passes spend their time skipping them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/wordscan.hpp"

namespace dbc::pageconv {

inline constexpr bool isLineEnd(unsigned char c) { return c == '\n' || c == '\r' || c == '\f'; }
inline constexpr bool isRtfSpecial(unsigned char c) { return c == '{' || c == '}' || c == '\\'; }
// The bytes the document cannot carry as they are: RTF's own braces and backslash, and those a
// reader may not take as text (control bytes but the tab, DEL, and everything above 0x7F, which
// the declared code page gives a meaning only through a hex escape).
inline constexpr bool isEscaped(unsigned char c) {
  return isRtfSpecial(c) || c >= 0x7f || (c < 0x20 && c != '\t');
}

// The index of the first line feed, carriage return or form feed in p[0..n), else n.
inline std::size_t findLineEnd(const char* p, std::size_t n) {
  auto mask = [](std::uint64_t x) {
    return ~((differs7(x, '\n') & differs7(x, '\r') & differs7(x, '\f')) | x) & kByteTops;
  };
  return findFirst(p, n, mask, isLineEnd);
}

// The index of the first byte that must be escaped in p[0..n), else n.
inline std::size_t findEscaped(const char* p, std::size_t n) {
  auto exact = [](std::uint64_t x) {
    std::uint64_t low = x & kByteLows;
    std::uint64_t special = ~(differs7(x, '{') & differs7(x, '}') & differs7(x, '\\'));
    std::uint64_t control = ~(low + kByteOnes * 0x60) & differs7(x, '\t');  // below 0x20, not a tab
    std::uint64_t fromDel = (low + kByteOnes) | x;                          // 0x7F and above
    return (((special | control) & ~x) | fromDel) & kByteTops;
  };
  // A cheaper test first, which flags every word the exact one flags and a few more (a tab,
  // '|' or '~'): a byte below 0x20, a backslash, or a byte above 0x7A. Plain text passes on it.
  auto suspect = [](std::uint64_t x) {
    std::uint64_t t = x ^ (kByteOnes * '\\');
    return (((x - kByteOnes * 0x20) & ~x) | (x + kByteOnes * 0x05) | x | ((t - kByteOnes) & ~t)) &
           kByteTops;
  };
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x = loadWord(p + i);
    if (!suspect(x)) continue;
    if (std::uint64_t m = exact(x)) return i + firstByte(m);
  }
  while (i < n && !isEscaped(static_cast<unsigned char>(p[i]))) ++i;
  return i;
}

}  // namespace dbc::pageconv
