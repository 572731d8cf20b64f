#include "audit/lists.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "audit/reader.hpp"
#include "common/io.hpp"
#include "testkit/files.hpp"

namespace dbc::audit {
namespace {

TEST(ListsTest, LinesAreWrittenInTheirFormats) {
  Output out;
  writeChecksumLine(out, 0, 5862120);
  writeChecksumLine(out, std::numeric_limits<std::int64_t>::max(),
                    std::numeric_limits<std::int64_t>::min());
  writeChangeLine(out, kAdded, 120);
  writeChangeLine(out, kRemoved, -1);
  EXPECT_EQ(out.text(),
            "0 5862120\n9223372036854775807 -9223372036854775808\n"
            "1120\n"
            "4-1\n");
}

// The lines are written the way printf's "%lld %lld\n" writes them, for numbers of every length
// and sign, positions past the fast range included.
TEST(ListsTest, ChecksumLinesAgreeWithPrintf) {
  std::mt19937_64 rng(20261209);
  std::vector<std::int64_t> values = {0,
                                      1,
                                      -1,
                                      9,
                                      10,
                                      -10,
                                      std::numeric_limits<std::int64_t>::max(),
                                      std::numeric_limits<std::int64_t>::min()};
  for (std::uint64_t p = 10; p <= 1000000000000000000ull; p *= 10)
    for (std::int64_t d : {-1, 0, 1}) {
      values.push_back(static_cast<std::int64_t>(p) + d);
      values.push_back(-static_cast<std::int64_t>(p) - d);
    }
  for (int i = 0; i < 20000; ++i)  // every digit count equally often
    values.push_back(static_cast<std::int64_t>(rng() >> (rng() % 64)) * (i % 2 ? -1 : 1));
  Output out;
  std::string expected;
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::int64_t pos = values[(i * 7919) % values.size()], sum = values[i];
    writeChecksumLine(out, pos, sum);
    char text[64];
    std::snprintf(text, sizeof text, "%lld %lld\n", static_cast<long long>(pos),
                  static_cast<long long>(sum));
    expected += text;
  }
  EXPECT_EQ(out.text(), expected);
}

// Many lines at once come out as one at a time does, whatever the number of lines, with positions
// past the fast range among them in either line of a pair.
TEST(ListsTest, EveryWayOfWritingManyLinesAgreesWithOneAtATime) {
  std::vector<std::pair<const char*, ChecksumLinesWriter>> ways = {
      {"scalar", writeChecksumLinesScalar}, {"best", bestChecksumLinesWriter()}};
#if defined(DBC_X86_VECTORS)
  ways.emplace_back("sse2", writeChecksumLinesSse2);
  if (hasAvx2()) ways.emplace_back("avx2", writeChecksumLinesAvx2);
#endif
  std::mt19937_64 rng(1209);
  auto any = [&] {
    return static_cast<std::int64_t>(rng() >> (rng() % 64)) * (rng() % 2 ? -1 : 1);
  };
  for (int round = 0; round < 200; ++round) {
    std::vector<ChecksumLine> lines(rng() % 300);
    for (auto& line : lines) {
      line.recpos = rng() % 20 == 0 ? any() : static_cast<std::int64_t>(rng() % 100000000000ull);
      line.chksum = rng() % 10 == 0 ? any() : static_cast<std::int64_t>(rng());
    }
    Output one;
    for (const auto& line : lines) writeChecksumLine(one, line.recpos, line.chksum);
    for (const auto& [name, write] : ways) {
      Output many;
      write(many, lines.data(), lines.size());
      ASSERT_EQ(many.text(), one.text()) << name << " round " << round;
    }
  }
}

// Every line, plain or odd, must read as sscanf reads it, including what it leaves untouched.
TEST(ListsTest, ScanningAgreesWithSscanf) {
  const std::vector<std::string> lines = {"0 5862120\n",
                                          "10 -7\n",
                                          "-5 3",
                                          "123456789012345678 -123456789012345678\n",
                                          "9223372036854775807 -9223372036854775808\n",
                                          "99999999999999999999 1\n",
                                          "9223372036854775808 -9223372036854775809\n",
                                          "1 9999999999999999999\n",
                                          "1 -9999999999999999999\n",
                                          "-0 -0000000000000000001\n",
                                          "  7   8 \n",
                                          "7\t8\n",
                                          "+7 +8\n",
                                          "7 8 9\n",
                                          "7 x\n",
                                          "7\n",
                                          "\n",
                                          "",
                                          "x 1\n",
                                          "-\n",
                                          "5 7\r\n",
                                          std::string("5\0 7\n", 5),
                                          "00012 0003\n"};
  for (const std::string& line : lines) {
    long long a = 111, b = 222;
    int want = std::sscanf(std::string(line).c_str(), "%lld %lld", &a, &b);
    std::int64_t pos = 111, sum = 222;
    EXPECT_EQ(scanChecksumLine(line, pos, sum), want) << line;
    EXPECT_EQ(pos, a) << line;
    EXPECT_EQ(sum, b) << line;

    long long c = 333;
    int wantPos = std::sscanf(std::string(line).c_str(), "%lld", &c);
    std::int64_t p = 333;
    EXPECT_EQ(scanPosition(line, p), wantPos) << line;
    EXPECT_EQ(p, c) << line;
  }
}

std::vector<std::string> readLines(const std::string& content) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("list"), content);
  dbc::Fd fd = dbc::openFile(dir.file("list"), O_RDONLY);
  LineReader reader(fd.get(), "list", Failure{"test", stdout, stderr});
  std::vector<std::string> got;
  std::string_view line;
  while (reader.next(line)) got.emplace_back(line);
  return got;
}

TEST(ListsTest, LinesAreReadInPiecesOf79) {
  std::string longLine(79, 'a');
  EXPECT_EQ(readLines("1 2\n" + longLine + "\n3 4"),
            (std::vector<std::string>{"1 2\n", longLine, "\n", "3 4"}));
  EXPECT_EQ(readLines(std::string(200, 'b') + "\n"),
            (std::vector<std::string>{std::string(79, 'b'), std::string(79, 'b'),
                                      std::string(42, 'b') + "\n"}));
  EXPECT_TRUE(readLines("").empty());
  // Many lines across the reader's own buffer refills.
  std::string many;
  for (int i = 0; i < 60000; ++i) many += std::to_string(i) + " " + std::to_string(-i) + "\n";
  std::vector<std::string> got = readLines(many);
  ASSERT_EQ(got.size(), 60000u);
  EXPECT_EQ(got[0], "0 0\n");
  EXPECT_EQ(got[59999], "59999 -59999\n");
}

}  // namespace
}  // namespace dbc::audit
