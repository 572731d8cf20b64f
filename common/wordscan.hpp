// Testing bytes eight at a time. Most bytes of the files the suite reads are plain characters,
// and the scans spend their time passing over them: one 64-bit word holds eight bytes, and a few
// arithmetic steps tell whether any of them is of interest, and which comes first. Every test
// here sets the top bit of each byte of interest and of no other, so that the answer is exact
// for the word as a whole and its first match is found by counting bits.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dbc {

inline constexpr std::uint64_t kByteOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kByteTops = 0x8080808080808080ULL;
inline constexpr std::uint64_t kByteLows = 0x7F7F7F7F7F7F7F7FULL;

// The eight bytes at `p` as one word, in memory order.
inline std::uint64_t loadWord(const unsigned char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}
inline std::uint64_t loadWord(const char* p) {
  return loadWord(reinterpret_cast<const unsigned char*>(p));
}

// Nonzero when one of the eight bytes of `x` lies outside kLow..kHigh (1 <= kLow <= kHigh <=
// 0x7F), zero when all lie inside: a byte below kLow borrows into its top bit, one above kHigh
// carries into it or has it set already. A borrow or carry spills into a neighbour only from a
// byte that was out of range itself, so the answer is exact for the word as a whole (though not
// byte by byte: use it to pass over clean words, not to find the first byte out of range).
template <unsigned char kLow, unsigned char kHigh>
constexpr std::uint64_t outsideRange(std::uint64_t x) {
  static_assert(kLow >= 1 && kLow <= kHigh && kHigh <= 0x7F);
  std::uint64_t below = (x - kByteOnes * kLow) & ~x & kByteTops;
  std::uint64_t above = ((x + kByteOnes * (0x7F - kHigh)) | x) & kByteTops;
  return below | above;
}

// Bit 7 of each byte of the result clear exactly where the low seven bits of that byte of `x`
// equal `v` (below 0x80); the low seven bits are taken alone, so no sum carries into the next
// byte. Combine with `& ~x` to match the byte itself, high bit included.
constexpr std::uint64_t differs7(std::uint64_t x, unsigned char v) {
  return ((x & kByteLows) ^ (kByteOnes * v)) + kByteLows;
}

// The index within its word of the first byte whose top bit `mask` sets (mask nonzero).
inline std::size_t firstByte(std::uint64_t mask) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::size_t>(std::countr_zero(mask)) / 8;
  } else {
    return static_cast<std::size_t>(std::countl_zero(mask)) / 8;
  }
}

// The index of the first byte of p[0..n) that `byte` accepts, else n. `mask` is the same test
// made on a word at a time, exact byte by byte (see above).
template <typename Mask, typename Byte>
std::size_t findFirst(const char* p, std::size_t n, Mask mask, Byte byte) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (std::uint64_t m = mask(loadWord(p + i))) return i + firstByte(m);
  }
  while (i < n && !byte(static_cast<unsigned char>(p[i]))) ++i;
  return i;
}

// How many of the `n` bytes at `p` lie in 0x20..0x7F, counted from the start: the characters
// that every decoding passes through unchanged.
inline std::size_t plainRun(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (outsideRange<0x20, 0x7F>(loadWord(p + i))) break;
  }
  while (i < n && p[i] >= 0x20 && p[i] <= 0x7F) ++i;
  return i;
}

}  // namespace dbc
