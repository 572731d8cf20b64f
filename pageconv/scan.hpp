// Finding the next byte of interest in a print file eight bytes at a time: most bytes are plain
// text, and both passes spend their time skipping them.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dbc::pageconv {

namespace scan_detail {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
inline constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7FULL;

inline std::uint64_t load(const char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// The masks below set the high bit of each byte of x that is of the kind looked for, and of no
// other, so the first match is found by counting bits. No sum carries into the next byte: the
// low seven bits are taken alone.

// Bit 7 of each byte clear exactly where its low seven bits equal v (v below 0x80).
inline std::uint64_t differs(std::uint64_t x, unsigned char v) {
  return ((x & kLow) ^ (kOnes * v)) + kLow;
}

// The index of the first byte whose high bit `mask` sets.
inline std::size_t firstByte(std::uint64_t mask) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::size_t>(std::countr_zero(mask)) / 8;
  } else {
    return static_cast<std::size_t>(std::countl_zero(mask)) / 8;
  }
}

template <typename Mask, typename Byte>
std::size_t findFirst(const char* p, std::size_t n, Mask mask, Byte byte) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (std::uint64_t m = mask(load(p + i))) return i + firstByte(m);
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
  auto mask = [](std::uint64_t x) {
    return ~((differs(x, '\n') & differs(x, '\r') & differs(x, '\f')) | x) & kHigh;
  };
  return findFirst(p, n, mask, isLineEnd);
}

// The index of the first byte that must be escaped in p[0..n), else n.
inline std::size_t findEscaped(const char* p, std::size_t n) {
  using namespace scan_detail;
  auto exact = [](std::uint64_t x) {
    std::uint64_t low = x & kLow;
    std::uint64_t special = ~(differs(x, '{') & differs(x, '}') & differs(x, '\\'));
    std::uint64_t control = ~(low + kOnes * 0x60) & differs(x, '\t');  // below 0x20, not a tab
    std::uint64_t fromDel = (low + kOnes) | x;                         // 0x7F and above
    return (((special | control) & ~x) | fromDel) & kHigh;
  };
  // A cheaper test first, which flags every word the exact one flags and a few more (a tab,
  // '|' or '~'): a byte below 0x20, a backslash, or a byte above 0x7A. Plain text passes on it.
  auto suspect = [](std::uint64_t x) {
    std::uint64_t t = x ^ (kOnes * '\\');
    return (((x - kOnes * 0x20) & ~x) | (x + kOnes * 0x05) | x | ((t - kOnes) & ~t)) & kHigh;
  };
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x = load(p + i);
    if (!suspect(x)) continue;
    if (std::uint64_t m = exact(x)) return i + firstByte(m);
  }
  while (i < n && !isEscaped(static_cast<unsigned char>(p[i]))) ++i;
  return i;
}

}  // namespace dbc::pageconv
