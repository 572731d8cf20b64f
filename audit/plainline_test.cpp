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
#ifndef DBC_X86_VECTORS
  GTEST_SKIP() << "lines are read in one look only where the x86-64 vector path is built";
#endif
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

// The run of alike lines as a plain reading finds it: line by line, a byte at a time.
std::size_t alikeReference(const std::string& a, const std::string& b, std::size_t n,
                           std::size_t& lines, std::size_t& last) {
  std::size_t at = 0;
  lines = last = 0;
  for (;;) {
    if (at + kPlainLineRoom > n) return at;
    std::size_t length = 0;
    while (length < 32 && a[at + length] != '\n') ++length;
    if (length == 32) return at;
    for (std::size_t k = 0; k <= length; ++k)
      if (a[at + k] != b[at + k]) return at;
    last = at;
    at += length + 1;
    ++lines;
  }
}

TEST(PlainLineTest, AlikeLinesEndWhereTheListsOrTheLinesPart) {
  // Lines of every length up to past 32, the second list a copy with a byte changed anywhere
  // (a line feed too), read from every alignment and up to every end.
  std::mt19937_64 rng(5);
  const char alphabet[] = "0123456789 -\n\n\n";
  for (int round = 0; round < 20000; ++round) {
    std::string a;
    const std::size_t size = rng() % 300;
    while (a.size() < size) {
      std::size_t length = rng() % (rng() % 8 ? 24 : 40);
      for (std::size_t k = 0; k < length; ++k) a += alphabet[rng() % 11];
      a += rng() % 16 ? '\n' : alphabet[rng() % (sizeof alphabet - 1)];
    }
    std::string b = a;
    if (!b.empty() && rng() % 4) b[rng() % b.size()] = alphabet[rng() % (sizeof alphabet - 1)];
    const std::size_t start = a.empty() ? 0 : rng() % (a.size() + 1);
    const std::size_t n = a.size() - start - rng() % (a.size() - start + 1);
    // Whatever the end, the bytes past it are readable, as in a reader's buffer.
    a = a.substr(start) + std::string(kPlainLineRoom, '\n');
    b = b.substr(start) + std::string(kPlainLineRoom, '\n');
    std::size_t lines[3], last[3];
    const std::size_t want = alikeReference(a, b, n, lines[0], last[0]);
    ASSERT_EQ(alikeLines(a.data(), b.data(), n, lines[1], last[1]), want) << a << "|" << b;
    ASSERT_EQ(alikeLinesScalar(a.data(), b.data(), n, lines[2], last[2]), want) << a;
    for (int way = 1; way < 3; ++way) {
      ASSERT_EQ(lines[way], lines[0]) << a;
      ASSERT_EQ(last[way], last[0]) << a;
    }
  }
}

}  // namespace
}  // namespace dbc::audit
