#include "audit/plainline.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "audit/lists.hpp"

namespace dbc::audit {
namespace {

// Reads `line` both ways; where the one look takes it, sscanf reads the same from it.
// Returns whether the one look took it.
bool agrees(const std::string& line) {
  std::string padded = line + std::string(kPlainLineRoom, 'Z');
  std::int64_t pos = 111;
  ChecksumText text;
  std::size_t used = 0;
  if (!scanPlainLine(padded.data(), pos, text, used)) {
    EXPECT_EQ(pos, 111) << line;
    return false;
  }
  long long a = 0, b = 0;
  EXPECT_EQ(std::sscanf(line.c_str(), "%lld %lld", &a, &b), 2) << line;
  EXPECT_EQ(pos, a) << line;
  EXPECT_EQ(text, checksumText(b)) << line;
  EXPECT_EQ(used, line.find('\n') + 1) << line;
  return true;
}

TEST(PlainLineTest, WhatJrnmakeWritesIsTakenInOneLook) {
  std::mt19937_64 rng(1209);
  Output out;
  const int lines = 20000;
  for (int i = 0; i < lines; ++i) {
    auto pos = static_cast<std::int64_t>(rng() >> (14 + rng() % 50));  // up to 16 digits
    auto sum = static_cast<std::int64_t>(rng() >> (rng() % 64)) * (i % 2 ? -1 : 1);
    writeChecksumLine(out, pos, sum);
  }
  const std::string& text = out.text();
  int taken = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t lf = text.find('\n', at);
    taken += agrees(text.substr(at, lf + 1 - at) + "7 7\n");
    at = lf + 1;
  }
  // Only checksums from 9 * 10^18 on, one in forty, go the long way.
  EXPECT_GT(taken, lines * 9 / 10);
  EXPECT_TRUE(agrees("0 0\n"));
  EXPECT_TRUE(agrees("00000012 -8999999999999999999\n"));
  EXPECT_TRUE(agrees("1234567890123456 5\n"));
}

TEST(PlainLineTest, OtherSpellingsGoTheSscanfWay) {
  // Each is a line sscanf reads some way; none may be taken in one look.
  for (const char* line : {"1 01\n",
                           "1 -0\n",
                           "1 -\n",
                           "1 +5\n",
                           "-1 5\n",
                           "1  5\n",
                           "1\t5\n",
                           "1 5 \n",
                           "1 5\r\n",
                           " 1 5\n",
                           "1 5",
                           "1\n",
                           "\n",
                           "1 9000000000000000000\n",
                           "1 -9223372036854775808\n",
                           "1 99999999999999999999\n",
                           "12345678901234567 5\n",
                           "1 5x\n",
                           "1 --5\n",
                           "1 5-\n",
                           "1 5\xB5\n",
                           "123456789012345 123456789012345678\n"}) {
    std::string text(line);
    if (text == "123456789012345 123456789012345678\n") {
      EXPECT_FALSE(agrees(text)) << "the line feed is past the first 32 bytes";
      continue;
    }
    EXPECT_FALSE(agrees(text)) << text;
  }
  // Random bytes of the line's alphabet: whatever is taken agrees.
  std::mt19937_64 rng(7);
  const char alphabet[] = "0123456789 -\n+x";
  for (int i = 0; i < 100000; ++i) {
    std::string line;
    std::size_t n = rng() % 34;
    for (std::size_t k = 0; k < n; ++k) line += alphabet[rng() % (sizeof alphabet - 1)];
    agrees(line);
  }
}

TEST(PlainLineTest, TextsAreEqualExactlyWhenTheNumbersAre) {
  const std::int64_t values[] = {0,
                                 1,
                                 -1,
                                 10,
                                 -10,
                                 123456789,
                                 std::numeric_limits<std::int64_t>::max(),
                                 std::numeric_limits<std::int64_t>::min()};
  for (std::int64_t a : values)
    for (std::int64_t b : values) EXPECT_EQ(checksumText(a) == checksumText(b), a == b);
}

}  // namespace
}  // namespace dbc::audit
