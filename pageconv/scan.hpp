// Finding the next byte of interest in a print file eight bytes at a time: most bytes are plain
// text, and both passes spend their time skipping them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pageconv {

namespace scan_detail {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHigh = 0x8080808080808080ULL;

inline std::uint64_t load(const char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// Non-zero when some byte of x equals v. It can also flag bytes next to a true match, never a
// word without one, so the caller looks at the word byte by byte to find which.
inline std::uint64_t has(std::uint64_t x, unsigned char v) {
  std::uint64_t t = x ^ (kOnes * v);
  return (t - kOnes) & ~t & kHigh;
}

// Non-zero when some byte of x is below v (v at most 0x80).
inline std::uint64_t below(std::uint64_t x, unsigned char v) {
  return (x - kOnes * v) & ~x & kHigh;
}

// Non-zero when some byte of x is 0x7F or above.
inline std::uint64_t fromDel(std::uint64_t x) { return ((x + kOnes) | x) & kHigh; }

// `word` may flag a word without a match (a tab among the control bytes, say); the search then
// goes on with the next word rather than crawling byte by byte to the end.
template <typename Word, typename Byte>
std::size_t findFirst(const char* p, std::size_t n, Word word, Byte byte) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (!word(load(p + i))) continue;
    for (std::size_t j = i; j < i + 8; ++j) {
      if (byte(static_cast<unsigned char>(p[j]))) return j;
    }
  }
  while (i < n && !byte(static_cast<unsigned char>(p[i]))) ++i;
  return i;
}

}  // namespace scan_detail

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
  using namespace scan_detail;
  return findFirst(
      p, n, [](std::uint64_t x) { return has(x, '\n') | has(x, '\r') | has(x, '\f'); }, isLineEnd);
}

// The index of the first byte that must be escaped in p[0..n), else n.
inline std::size_t findEscaped(const char* p, std::size_t n) {
  using namespace scan_detail;
  return findFirst(
      p, n,
      [](std::uint64_t x) {
        return has(x, '{') | has(x, '}') | has(x, '\\') | below(x, 0x20) | fromDel(x);
      },
      isEscaped);
}

}  // namespace pageconv
