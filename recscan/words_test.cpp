#include "recscan/words.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dbc::recscan {
namespace {

const Engine kEngines[] = {Engine::kPlain, Engine::kSse2, Engine::kAvx2};

std::string name(Engine e) {
  return e == Engine::kPlain ? "plain" : e == Engine::kSse2 ? "SSE2" : "AVX2";
}

// Records of plain characters of every length from 0 to past two chunks, ended by the file
// type's mark, with now and then another special byte; the high bytes are plain in text files.
std::string records(std::mt19937& rng, std::size_t size, bool text) {
  std::string out;
  std::uniform_int_distribution<int> len(0, 80), byte(0x20, text ? 0xFF : 0x7F), odd(0, 40);
  while (out.size() < size) {
    for (int n = len(rng); n > 0; --n) {
      int b = byte(rng);
      out.push_back(static_cast<char>(text && b == 0x7F ? 'x' : b));
    }
    const int o = odd(rng);
    out.push_back(o == 0 ? '\0' : o == 1 ? '\x7F' : o == 2 ? '\xFF' : text ? '\n' : '\xFA');
  }
  out.resize(size);
  return out;
}

bool operator==(const RecordRun& a, const RecordRun& b) {
  return a.reccnt == b.reccnt && a.recpos == b.recpos && a.recsiz == b.recsiz &&
         a.minsiz == b.minsiz && a.maxsiz == b.maxsiz && a.fstsiz == b.fstsiz &&
         a.recsiz2 == b.recsiz2 && a.chksum == b.chksum && a.offset == b.offset;
}

// Where a vector engine stops before the end of its bytes, the plain one (which goes to the end)
// is stopped there too, by giving it only those bytes: the state left must be the same.
TEST(Words, EveryEngineTakesRecordsAsThePlainOneDoes) {
  std::mt19937 rng(5310);
  for (int round = 0; round < 300; ++round) {
    const bool text = round % 2 == 0;
    const std::string data = records(rng, 1 + rng() % 3000, text);
    const auto* b = reinterpret_cast<const unsigned char*>(data.data());
    const RecordRun start{7,
                          static_cast<std::int64_t>(rng() % 300),
                          0,
                          -1,
                          -1,
                          -1,
                          text ? -1 : 0,
                          static_cast<std::uint16_t>(rng()),
                          false,
                          -1};
    MarkRules rules{static_cast<std::int64_t>(rng() % 1000), rng() % 5 != 0,
                    static_cast<std::int64_t>(rng() % 3 == 0 ? 0 : 1 + rng() % 90)};
    for (Engine e : kEngines) {
      if (!engineRuns(e)) continue;
      SCOPED_TRACE("round " + std::to_string(round) + ", " + name(e));
      RecordRun got = start, want = start;
      got.recsiz = want.recsiz = start.recpos + 3;
      for (std::size_t i = 0; i < data.size();) {
        const std::size_t end = text ? plainRecords<true>(e, b, i, data.size(), got, rules)
                                     : plainRecords<false>(e, b, i, data.size(), got, rules);
        const std::size_t wantEnd =
            text ? plainRecords<true>(Engine::kPlain, b, i, end, want, rules)
                 : plainRecords<false>(Engine::kPlain, b, i, end, want, rules);
        ASSERT_EQ(end, wantEnd);
        ASSERT_TRUE(got == want);
        // Step over the special byte as the byte rules would, with a fresh record.
        i = end + 1;
        got.recpos = want.recpos = 0;
        got.recsiz = want.recsiz = 0;
      }
    }
  }
}

// Spaces, digits, points and other bytes in runs of every length, some past 248 when `longRuns`
// (without them no 64 bytes in a row are spaces, and the engines take their fastest way).
std::string estimateInput(std::mt19937& rng, std::size_t size, bool longRuns = true) {
  std::string out;
  static const char kKinds[] = {' ', '0', '7', '.', 'A', '\xC3'};
  while (out.size() < size) {
    const char c = kKinds[rng() % 6];
    std::size_t n = c == ' ' && longRuns && rng() % 8 == 0 ? 200 + rng() % 400 : 1 + rng() % 9;
    out.append(n, c);
  }
  out.resize(size);
  return out;
}

TEST(Words, EveryEngineEstimatesAsThePlainOneDoes) {
  std::mt19937 rng(248);
  for (int round = 0; round < 300; ++round) {
    // Long inputs, mostly without long runs of spaces, to hold the fast way over many words.
    const std::size_t size = round % 5 == 4 ? 1 + rng() % 20000 : 1 + rng() % 2000;
    const std::string data = estimateInput(rng, size, round % 5 != 4 || round % 2 == 0);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const bool digits = round % 3 != 0;
    // Any state a block may start in: a run of spaces open, or a digit waiting.
    EagerEstimate start{1000, 0, false};
    if (round % 4 == 1) start.run = 1 + static_cast<unsigned>(rng() % 247);
    if (round % 4 == 2 && digits) start.pend = true;
    EagerEstimate want = start;
    estimateWords(Engine::kPlain, p, data.size(), digits, want);
    for (Engine e : kEngines) {
      if (!engineRuns(e)) continue;
      SCOPED_TRACE("round " + std::to_string(round) + ", " + name(e));
      EagerEstimate got = start;
      estimateWords(e, p, data.size(), digits, got);
      EXPECT_EQ(got.total, want.total);
      EXPECT_EQ(got.run, want.run);
      EXPECT_EQ(got.pend, want.pend);
    }
  }
}

// The eager count against the rules byte by byte: a run of spaces adds 1 for a single space and
// 2 for a longer one, again for each 248; digits pair up; a run or digit still open adds what it
// will add once closed.
TEST(Words, EstimateCountsRunsAndPairs) {
  struct Case {
    std::string in;
    std::int64_t total;
    unsigned run;
    bool pend;
  };
  const std::vector<Case> cases = {
      {"AB", 2, 0, false},
      {" ", 1, 1, false},
      {"     A", 3, 0, false},
      {std::string(248, ' '), 2, 0, false},
      {std::string(249, ' '), 3, 1, false},
      {std::string(250, ' ') + "x", 5, 0, false},
      {std::string(496, ' '), 4, 0, false},
      {"12", 1, 0, false},
      {"123", 2, 0, true},
      {"12.5 ", 3, 1, false},
      {"1 2", 3, 0, true},
      // Long enough that any count kept in bytes would pass 255.
      {std::string(20000, 'A'), 20000, 0, false},
      {[] {
         std::string s;
         for (int k = 0; k < 10000; ++k) s += "1 ";
         return s;
       }(),
       20000, 1, false},
  };
  for (const Case& c : cases) {
    for (Engine e : kEngines) {
      if (!engineRuns(e)) continue;
      SCOPED_TRACE(c.in + ", " + name(e));
      EagerEstimate got{0, 0, false};
      estimateWords(e, reinterpret_cast<const unsigned char*>(c.in.data()), c.in.size(), true, got);
      EXPECT_EQ(got.total, c.total);
      EXPECT_EQ(got.run, c.run);
      EXPECT_EQ(got.pend, c.pend);
    }
  }
}

}  // namespace
}  // namespace dbc::recscan
