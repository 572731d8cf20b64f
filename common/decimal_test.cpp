#include "common/decimal.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace dbc {
namespace {

std::string written(std::int64_t v) {
  char buf[64];
  std::memset(buf, '#', sizeof buf);
  char* end = writeDecimal(buf, v);
  return std::string(buf, end);
}

std::string printed(std::int64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%" PRId64, v);
  return buf;
}

// Every digit count, both sides of every power of ten, the ends of the range, and a spread of
// random values of every width: the same text as printf.
TEST(DecimalTest, WritesWhatPrintfWrites) {
  std::vector<std::int64_t> values = {0,
                                      1,
                                      -1,
                                      9,
                                      -9,
                                      std::numeric_limits<std::int64_t>::max(),
                                      std::numeric_limits<std::int64_t>::min()};
  for (std::int64_t p = 1; p <= std::numeric_limits<std::int64_t>::max() / 10; p *= 10) {
    for (std::int64_t v : {p - 1, p, p + 1, 10 * p - 1}) {
      values.push_back(v);
      values.push_back(-v);
    }
  }
  std::mt19937_64 rng(20261209);
  for (int i = 0; i < 200000; ++i) {
    std::int64_t v = static_cast<std::int64_t>(rng());
    values.push_back(v >> (i % 64));
  }
  for (std::int64_t v : values) ASSERT_EQ(written(v), printed(v)) << v;
}

TEST(DecimalTest, UnsignedReachesTwentyDigits) {
  char buf[64];
  char* end = writeDecimal(buf, std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(std::string(buf, end), "18446744073709551615");
  end = writeDecimal(buf, std::uint64_t{10000000000000000000ull});
  EXPECT_EQ(std::string(buf, end), "10000000000000000000");
}

// Whatever the number, nothing is written past kDecimalRoom bytes.
TEST(DecimalTest, StaysWithinItsRoom) {
  for (std::int64_t v : {std::int64_t{0}, std::int64_t{7}, std::int64_t{-123456789012345678},
                         std::numeric_limits<std::int64_t>::min()}) {
    char buf[kDecimalRoom + 8];
    std::memset(buf, '#', sizeof buf);
    writeDecimal(buf, v);
    EXPECT_EQ(std::string(buf + kDecimalRoom, 8), "########") << v;
  }
}

// The digits a byte-by-byte reading takes, whatever stands around them and wherever the end falls:
// every length from none to past 19, each followed by every kind of byte (a digit's neighbours in
// the code table, bytes at and above 0xFA whose carries cross into the next byte, the end itself).
TEST(DecimalTest, ReadsWhatAByteReadingReads) {
  std::mt19937_64 rng(7);
  const std::string stops = std::string("/: -\n\x00\xF9\xFA\xFF", 9);
  for (int len = 0; len <= 22; ++len) {
    for (int room = 0; room <= 9; ++room) {
      for (char stop : stops) {
        std::string digits;
        for (int i = 0; i < len; ++i) digits += static_cast<char>('0' + rng() % 10);
        std::string text = digits + stop + std::string(static_cast<std::size_t>(room), '7');
        for (std::size_t cut : {digits.size(), text.size()}) {
          const char* p = text.data();
          std::uint64_t value = 99;
          bool ok = readDigits(p, text.data() + cut, value);
          bool expected = len > 0 && len <= 19;
          ASSERT_EQ(ok, expected) << digits << " cut " << cut;
          if (!ok) {
            EXPECT_EQ(p, text.data());
            EXPECT_EQ(value, 99u);
            continue;
          }
          EXPECT_EQ(p, text.data() + len);
          EXPECT_EQ(value, std::stoull(digits)) << digits;
        }
      }
    }
  }
}

TEST(DecimalTest, DigitCountsAndEightDigitWords) {
  EXPECT_EQ(decimalDigitCount(0), 1);
  EXPECT_EQ(decimalDigitCount(~0ull), 20);
  std::uint64_t p = 1;
  for (int digits = 1; digits <= 19; ++digits, p *= 10) {
    EXPECT_EQ(decimalDigitCount(p), digits) << p;
    EXPECT_EQ(decimalDigitCount(p * 10 - 1), digits) << p;
  }
  for (std::uint32_t x : {0u, 7u, 1234u, 99999999u}) {
    char text[9];
    std::snprintf(text, sizeof text, "%08u", x);
    std::uint64_t word = eightDigitWord(x);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&word), 8), text);
  }
}

}  // namespace
}  // namespace dbc
