#include "audit/merge.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "common/io.hpp"
#include "testkit/files.hpp"

namespace dbc::audit {
namespace {

std::string join(const std::string& first, const std::string& second) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("a"), first);
  testkit::writeFile(dir.file("b"), second);
  dbc::Fd fa = dbc::openFile(dir.file("a"), O_RDONLY);
  dbc::Fd fb = dbc::openFile(dir.file("b"), O_RDONLY);
  const Failure failure{"test", stdout, stderr};
  LineReader a(fa.get(), "a", failure), b(fb.get(), "b", failure);
  Output out;
  Joiner(a, b, out).run();
  return out.text();
}

TEST(MergeTest, ChangesAdditionsAndRemovals) {
  EXPECT_EQ(join("0 5\n10 7\n", "0 5\n10 7\n"), "");
  EXPECT_EQ(join("0 5\n10 7\n", "0 5\n10 8\n20 9\n"), "210\n310\n120\n");
  EXPECT_EQ(join("0 5\n10 7\n", "10 7\n"), "40\n");
  EXPECT_EQ(join("", "0 1\n5 2\n9 3\n"), "10\n15\n19\n");
  EXPECT_EQ(join("0 1\n5 2\n", ""), "40\n45\n");
  EXPECT_EQ(join("", ""), "");
  // Interleaved: removals and additions come out in position order.
  EXPECT_EQ(join("0 1\n4 1\n8 1\n12 1\n", "2 1\n4 9\n10 1\n12 1\n14 1\n"),
            "40\n12\n24\n34\n48\n110\n114\n");
  // Negative checksums and large positions compare as signed 64-bit numbers.
  EXPECT_EQ(
      join("-1 -5\n9000000000 -9223372036854775808\n", "-1 -5\n9000000000 9223372036854775807\n"),
      "29000000000\n39000000000\n");
}

TEST(MergeTest, LinesThatDoNotParseKeepThePreviousValues) {
  // The blank line repeats (10, 7), which the second list has already passed.
  EXPECT_EQ(join("0 5\n10 7\n\n", "0 5\n10 7\n20 1\n"), "410\n120\n");
  // A line of one number takes the position only.
  EXPECT_EQ(join("0 5\n10\n", "0 5\n10 5\n"), "");
  // A line too long for one read comes back as two lines, the second of them unparsable.
  EXPECT_EQ(join("0 5" + std::string(80, ' ') + "\n", "0 5\n"), "40\n");
}

// The change list as the plain merge makes it: pieces of at most 79 characters, each read with
// sscanf into 64-bit numbers, a piece that does not parse keeping the values before it.
std::string plainJoin(const std::string& first, const std::string& second) {
  struct List {
    const std::string& text;
    std::size_t at = 0;
    bool eof = false;
    long long pos = 0, sum = 0;
    void next() {
      if (eof || at >= text.size()) {
        eof = true;
        return;
      }
      std::size_t n = std::min<std::size_t>(79, text.size() - at);
      std::size_t lf = text.find('\n', at);
      if (lf != std::string::npos && lf < at + n) n = lf - at + 1;
      std::sscanf(text.substr(at, n).c_str(), "%lld %lld", &pos, &sum);
      at += n;
    }
  } a{first}, b{second};
  std::string out;
  auto line = [&](char code, long long pos) { out += code + std::to_string(pos) + "\n"; };
  a.next();
  b.next();
  while (!a.eof || !b.eof) {
    if (b.eof || (!a.eof && a.pos < b.pos)) {
      line('4', a.pos), a.next();
    } else if (a.eof || a.pos > b.pos) {
      line('1', b.pos), b.next();
    } else {
      if (a.sum != b.sum) line('2', a.pos), line('3', a.pos);
      a.next(), b.next();
    }
  }
  return out;
}

// Mostly jrnmake's own lines, with odd spellings of equal numbers ("-0", leading zeros, "+"),
// blank-separated extras, overlong and unparsable lines mixed in, so that lines read in one
// look and lines read the sscanf way meet in the same comparison.
std::string randomList(std::mt19937_64& rng, int lines) {
  std::string text;
  long long pos = 0;
  for (int i = 0; i < lines; ++i) {
    pos += static_cast<long long>(rng() % 3);
    long long sum = static_cast<long long>(rng() % 4 == 0 ? rng() : rng() % 5) - 2;
    switch (rng() % 12) {
      case 0:
        text += std::to_string(pos) + " +" + std::to_string(sum < 0 ? -sum : sum) + "\n";
        break;
      case 1:
        text += "000" + std::to_string(pos) + " -0\n";
        break;
      case 2:
        text += std::to_string(pos) + "  " + std::to_string(sum) + " x\n";
        break;
      case 3:
        text += std::string(rng() % 100, rng() % 2 ? ' ' : '7') + "\n";
        break;
      case 4:
        text += std::to_string(pos) + "\n";
        break;
      default:
        text += std::to_string(pos) + " " + std::to_string(sum) + "\n";
    }
  }
  if (rng() % 2) text += std::to_string(pos + 1) + " 5";  // no line feed at the end
  return text;
}

TEST(MergeTest, RandomListsJoinAsThePlainMergeJoinsThem) {
  std::mt19937_64 rng(1209);
  for (int round = 0; round < 100; ++round) {
    std::string first = randomList(rng, static_cast<int>(rng() % 300)),
                second = randomList(rng, static_cast<int>(rng() % 300));
    ASSERT_EQ(join(first, second), plainJoin(first, second)) << first << "\n----\n" << second;
  }
}

TEST(MergeTest, ChangedCopiesJoinAsThePlainMergeJoinsThem) {
  // The second list is the first with a few lines changed, dropped or added, so that long runs
  // of lines alike in both, odd ones among them and at their ends, are passed over; some lists
  // outgrow the reader's buffer, so runs also meet its refills.
  std::mt19937_64 rng(2112);
  for (int round = 0; round < 60; ++round) {
    const int lines = static_cast<int>(round % 6 == 0 ? 30000 + rng() % 1000 : rng() % 400);
    std::string first = randomList(rng, lines), second;
    std::size_t at = 0;
    while (at < first.size()) {
      std::size_t lf = first.find('\n', at);
      std::size_t end = lf == std::string::npos ? first.size() : lf + 1;
      const std::string line = first.substr(at, end - at);
      switch (rng() % 200) {
        case 0:  // changed
          second += line.substr(0, line.size() / 2) + "1\n";
          break;
        case 1:  // dropped
          break;
        case 2:  // added before it
          second += randomList(rng, 1) + "\n" + line;
          break;
        default:
          second += line;
      }
      at = end;
    }
    const bool swap = rng() % 2;
    const std::string& a = swap ? second : first;
    const std::string& b = swap ? first : second;
    // Compared whole, not printed: the lists run to megabytes.
    const std::string joined = join(a, b), plain = plainJoin(a, b);
    ASSERT_TRUE(joined == plain) << "round " << round << ": " << joined.size() << " bytes, "
                                 << plain.size() << " from the plain merge";
  }
}

}  // namespace
}  // namespace dbc::audit
