// The bytes of a print file that need attention, tested eight at a time in a 64-bit word: the
// portable ground under the vector searches, and what every processor can run.
#pragma once

#include <bit>
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

// The top bit of each byte of `x` that isLineEnd, and no other.
constexpr std::uint64_t lineEndTops(std::uint64_t x) {
  return ~((differs7(x, '\n') & differs7(x, '\r') & differs7(x, '\f')) | x) & kByteTops;
}

// The top bit of each byte of `x` that isEscaped, and no other.
constexpr std::uint64_t escapedTops(std::uint64_t x) {
  std::uint64_t low = x & kByteLows;
  std::uint64_t special = ~(differs7(x, '{') & differs7(x, '}') & differs7(x, '\\'));
  std::uint64_t control = ~(low + kByteOnes * 0x60) & differs7(x, '\t');  // below 0x20, not a tab
  std::uint64_t fromDel = (low + kByteOnes) | x;                          // 0x7F and above
  return (((special | control) & ~x) | fromDel) & kByteTops;
}

// The top bits of each byte of a word, gathered into its eight low bits in memory order.
inline std::uint64_t gatherTops(std::uint64_t tops) {
  if constexpr (std::endian::native == std::endian::little) {
    return (tops * 0x0002040810204081ULL) >> 56;
  } else {
    std::uint64_t m = 0;
    for (int b = 0; b < 8; ++b) m |= ((tops >> (63 - 8 * b)) & 1) << b;
    return m;
  }
}

}  // namespace dbc::pageconv
