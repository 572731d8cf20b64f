#include "dbtidy/bytescan.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dbc::dbtidy {
namespace {

// Texts of every length up to a few groups, at every offset in a group, made of the bytes that
// end or split runs (and their neighbours), with other bytes behind them in the slack.
struct Texts {
  std::mt19937 rng{21};
  std::vector<char> storage = std::vector<char>(16 + 80 + kSlack);

  template <class Check>
  void each(Check check) {
    const char alphabet[] = {' ',    '\t',   '.',    'A',    'z',  '\x20', '\x21',
                             '\x7E', '\x7F', '\x80', '\xFF', '\0', '\n',   ':'};
    for (int round = 0; round < 40; ++round) {
      for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t n = 0; n <= 80; ++n) {
          for (char& c : storage) c = alphabet[rng() % sizeof alphabet];
          // Runs long enough to cross groups now and then.
          if (round % 2) {
            const char fill = alphabet[rng() % 4];
            const std::size_t at = rng() % (n + 1);
            for (std::size_t i = at; i < at + rng() % 40 && i < n; ++i) storage[offset + i] = fill;
          }
          check(storage.data() + offset, n);
        }
      }
    }
  }
};

TEST(ByteScan, RunsAgreeWithTheByteLoops) {
  Texts t;
  t.each([](const char* p, std::size_t n) {
    ASSERT_EQ(graphicRun(p, n), graphicRunScalar(p, n)) << n;
    ASSERT_EQ(spaceRun(p, n), spaceRunScalar(p, n)) << n;
    ASSERT_EQ(trimmed(p, n), trimmedScalar(p, n)) << n;
  });
}

// Every field the byte loops set, equal; those left unset when only blanks follow the label are
// not compared.
void expectSameCuts(const LineCuts& got, const LineCuts& want, std::size_t n) {
  ASSERT_EQ(got.label, want.label) << n;
  ASSERT_EQ(got.verb, want.verb) << n;
  if (want.verb == n) return;
  ASSERT_EQ(got.verbEnd, want.verbEnd) << n;
  ASSERT_EQ(got.ops, want.ops) << n;
  ASSERT_EQ(got.opsEnd, want.opsEnd) << n;
}

// The converted bytes and the cuts of the line at p against the byte loops' on a copy, and the
// slack behind the line left as it was.
void expectSameConversionAndCuts(char* p, std::size_t n) {
  const std::string before(p, n + kSlack);
  std::string expected = before;
  const LineCuts want = convertAndCutScalar(expected.data(), n);
  expectSameCuts(convertAndCut(p, n), want, n);
  ASSERT_EQ(std::string(p, n + kSlack), expected) << n;
}

TEST(ByteScan, ConversionAndCutsAgreeWithTheByteLoops) {
  Texts t;
  t.each([](char* p, std::size_t n) { expectSameConversionAndCuts(p, n); });
  // Statement-like lines, whose parts the random bytes seldom give, up to and past 64 bytes.
  std::mt19937 rng{7};
  std::vector<char> line(200 + kSlack);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const char* parts[] = {"L1", "MOVE", "A,B", "X:", "\t.Y", "ENDIF", ".", "*", "\t"};
    while (text.size() < 100 && rng() % 6 != 0) {
      text.append(rng() % 4, ' ');
      text += parts[rng() % std::size(parts)];
    }
    text.append(rng() % 5, rng() % 3 ? ' ' : '\t');
    std::copy(text.begin(), text.end(), line.begin());
    const char behind[] = {'A', ' ', '\t', '.'};
    for (std::size_t i = text.size(); i < line.size(); ++i) line[i] = behind[rng() % 4];
    expectSameConversionAndCuts(line.data(), text.size());
  }
}

TEST(ByteScan, TabConversionAgreesAndLeavesTheSlackAlone) {
  Texts t;
  t.each([](char* p, std::size_t n) {
    const std::string before(p, n + kSlack);
    std::string expected(p, n);
    convertTabsScalar(expected.data(), n);
    convertTabs(p, n);
    ASSERT_EQ(std::string(p, n), expected) << n;
    ASSERT_EQ(std::string(p + n, kSlack), before.substr(n)) << n;
  });
  // The rule itself: a tab stays only where a "." of the line follows it.
  std::string line = "\tA\t.B\t\t.\t";
  convertTabsScalar(line.data(), line.size());
  EXPECT_EQ(line, " A\t.B \t. ");
}

TEST(ByteScan, CopiesAndFillsWriteTheirBytesWithinTheSlack) {
  std::vector<char> src(1000 + kSlack);
  for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<char>('a' + i % 26);
  for (std::size_t n : {0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 200, 1000}) {
    std::vector<char> dst(n + kSlack + 8, '#');
    copyGroups(dst.data(), src.data(), n);
    EXPECT_EQ(std::string(dst.data(), n), std::string(src.data(), n)) << n;
    EXPECT_EQ(std::string(dst.data() + n + kSlack, 8), "########") << n;
    std::vector<char> tabs(n + kSlack + 8, '#');
    fillGroups(tabs.data(), '\t', n);
    EXPECT_EQ(std::string(tabs.data(), n), std::string(n, '\t')) << n;
    EXPECT_EQ(std::string(tabs.data() + n + kSlack, 8), "########") << n;
  }
}

}  // namespace
}  // namespace dbc::dbtidy
