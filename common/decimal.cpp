#include "common/decimal.hpp"

#include <bit>
#include <cstring>

namespace dbc {

namespace {

// Eight digits of x (below 10^8), the first digit in the first byte, as one 64-bit word: the
// divisions by 10000, 100 and 10 are each done in all lanes at once by a multiply and a shift
// (x * 10486 >> 20 is x / 100 and x * 103 >> 10 is x / 10 over the ranges that reach them).
std::uint64_t eightDigits(std::uint32_t x) {
  std::uint64_t merged = (x / 10000) | (static_cast<std::uint64_t>(x % 10000) << 32);
  std::uint64_t hundreds = ((merged * 10486) >> 20) & ((0x7Full << 32) | 0x7Full);
  std::uint64_t pairs = ((merged - 100 * hundreds) << 16) + hundreds;
  std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;
  std::uint64_t ones = pairs - 10 * tens;
  return tens + (ones << 8) + 0x3030303030303030ull;
}

constexpr std::uint64_t kPow10[] = {1ull,
                                    10ull,
                                    100ull,
                                    1000ull,
                                    10000ull,
                                    100000ull,
                                    1000000ull,
                                    10000000ull,
                                    100000000ull,
                                    1000000000ull,
                                    10000000000ull,
                                    100000000000ull,
                                    1000000000000ull,
                                    10000000000000ull,
                                    100000000000000ull,
                                    1000000000000000ull,
                                    10000000000000000ull,
                                    100000000000000000ull,
                                    1000000000000000000ull,
                                    10000000000000000000ull};

// Digits of v, at least 1: the bit width times log10(2) guesses, one comparison settles.
int digitCount(std::uint64_t v) {
  int guess = ((64 - std::countl_zero(v | 1)) * 1233) >> 12;
  return guess + (v >= kPow10[guess]);
}

std::uint64_t load(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The high bit of each byte of `w` that is not an ASCII digit. A carry out of a byte at or above
// 0xFA spoils only the bytes after it, and only the first flagged byte is ever used.
std::uint64_t nonDigits(std::uint64_t w) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  std::uint64_t x = ((w & (0xF0 * kOnes)) ^ (0x30 * kOnes)) |
                    (((w + 0x06 * kOnes) & (0xF0 * kOnes)) ^ (0x30 * kOnes));
  return (((x & (0x7F * kOnes)) + 0x7F * kOnes) | x) & (0x80 * kOnes);
}

// The value of eight ASCII digits, the first in the lowest byte: pairs, then quadruples, then the
// whole, each step one multiply.
std::uint32_t eightValue(std::uint64_t w) {
  w = ((w & 0x0F0F0F0F0F0F0F0Full) * 2561) >> 8;
  w = ((w & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
  return static_cast<std::uint32_t>(((w & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32);
}

constexpr int kMaxDigits = 19;

void store(char* p, std::uint64_t word) {
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  std::memcpy(p, &word, 8);
}

}  // namespace

char* writeDecimal(char* p, std::uint64_t value) {
  if (value < 10) {
    *p = static_cast<char>('0' + value);
    return p + 1;
  }
  // Groups of eight digits with leading zeros, the first group shifted so that its significant
  // digits come first, each group stored whole and the next one over its tail: no byte is read
  // back, so no store has to wait for another.
  const int n = digitCount(value);
  char* end = p + n;
  std::uint64_t high = value / 100000000;
  std::uint64_t last = eightDigits(static_cast<std::uint32_t>(value - high * 100000000));
  if (n <= 8) {
    store(p, last >> (8 * (8 - n)));
    return end;
  }
  std::uint64_t top = high / 100000000;
  std::uint64_t middle = eightDigits(static_cast<std::uint32_t>(high - top * 100000000));
  if (n <= 16) {
    store(p, middle >> (8 * (16 - n)));
  } else {
    store(p, eightDigits(static_cast<std::uint32_t>(top)) >> (8 * (24 - n)));
    store(end - 16, middle);
  }
  store(end - 8, last);
  return end;
}

bool readDigits(const char*& p, const char* end, std::uint64_t& value) {
  const char* q = p;
  std::uint64_t v = 0;
  int count = 0;
  while (end - q >= 8) {
    std::uint64_t w = load(q);
    std::uint64_t flags = nonDigits(w);
    int n = flags == 0 ? 8 : std::countr_zero(flags) / 8;
    if (count + n > kMaxDigits) return false;
    if (n == 8) {
      v = v * 100000000 + eightValue(w);
    } else if (n > 0) {
      // The n digits moved to the end of the word behind leading zeros.
      w = (w << (8 * (8 - n))) | (0x3030303030303030ull >> (8 * n));
      v = v * kPow10[n] + eightValue(w);
    }
    count += n;
    q += n;
    if (n < 8) break;
  }
  // The last few digits (or none, after a word that held a non-digit).
  for (; q < end && *q >= '0' && *q <= '9'; ++q) {
    if (++count > kMaxDigits) return false;
    v = v * 10 + static_cast<std::uint64_t>(*q - '0');
  }
  if (count == 0) return false;
  value = v;
  p = q;
  return true;
}

int decimalDigitCount(std::uint64_t value) { return value == 0 ? 1 : digitCount(value); }

std::uint64_t eightDigitWord(std::uint32_t x) { return eightDigits(x); }

char* writeDecimal(char* p, std::int64_t value) {
  if (value < 0) {
    *p++ = '-';
    return writeDecimal(p, 0 - static_cast<std::uint64_t>(value));
  }
  return writeDecimal(p, static_cast<std::uint64_t>(value));
}

}  // namespace dbc
