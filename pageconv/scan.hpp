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

template <typename Word, typename Byte>
std::size_t findFirst(const char* p, std::size_t n, Word word, Byte byte) {
  std::size_t i = 0;
  while (i + 8 <= n && !word(load(p + i))) i += 8;
  while (i < n && !byte(static_cast<unsigned char>(p[i]))) ++i;
  return i;
}

}  // namespace scan_detail

inline constexpr bool isLineEnd(unsigned char c) { return c == '\n' || c == '\r' || c == '\f'; }
inline constexpr bool isEscaped(unsigned char c) { return c == '{' || c == '}' || c == '\\'; }

// The index of the first line feed, carriage return or form feed in p[0..n), else n.
inline std::size_t findLineEnd(const char* p, std::size_t n) {
  using namespace scan_detail;
  return findFirst(
      p, n, [](std::uint64_t x) { return has(x, '\n') | has(x, '\r') | has(x, '\f'); }, isLineEnd);
}

// The index of the first brace or backslash in p[0..n), else n.
inline std::size_t findEscaped(const char* p, std::size_t n) {
  using namespace scan_detail;
  return findFirst(
      p, n, [](std::uint64_t x) { return has(x, '{') | has(x, '}') | has(x, '\\'); }, isEscaped);
}

}  // namespace pageconv
