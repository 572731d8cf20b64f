#include "common/framing.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace dbc {
namespace {

RecordEnd endOf(const std::string& bytes, std::size_t from = 0) {
  return findRecordEnd(reinterpret_cast<const unsigned char*>(bytes.data()), from, bytes.size());
}

TEST(Framing, EachTerminatorEndsTheRecord) {
  for (std::string t : {"\xFA", "\xFB", "\n"}) {
    RecordEnd e = endOf("AB\x8C" + t + "CD\xFA");
    EXPECT_TRUE(e.found);
    EXPECT_EQ(e.at, 3u);
  }
  EXPECT_EQ(endOf("AB\xFA"
                  "CD\xFA",
                  3)
                .at,
            5u);
}

TEST(Framing, ARunCountIsNeverATerminator) {
  // Counts of 10 (a line feed), 250 and 251 (the marks) and the marker itself as a count.
  for (char count : {'\n', '\xFA', '\xFB', '\xF9'}) {
    std::string rec = std::string("A\xF9") + count + "B\xFA";
    RecordEnd e = endOf(rec);
    EXPECT_TRUE(e.found) << int(count);
    EXPECT_EQ(e.at, 4u) << int(count);
  }
}

TEST(Framing, BytesRunningOutSayWhereToResume) {
  RecordEnd e = endOf("ABC");
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.at, 3u);
  // A marker whose count is still to come: the search must see it again with its count.
  e = endOf("AB\xF9");
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.at, 2u);
  e = endOf("AB\xF9\xFA");  // the count is there: the record goes on
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.at, 4u);
}

// The rule byte by byte, as it is stated, against the search that takes eight bytes at a time,
// on bytes that sit next to the terminators in value (0x8A shares a line feed's low seven bits,
// 0xF8 and 0xFC border the marks).
TEST(Framing, WordAtATimeAgreesWithTheRuleByteByByte) {
  const std::string alphabet = "AZ09 \x79\x7A\x8A\xF8\xFC\xFF\xF9\xFA\xFB\n";
  std::mt19937 rng(11);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes;
    std::size_t n = rng() % 40;
    for (std::size_t i = 0; i < n; ++i) {
      bool rare = rng() % 6 == 0;
      bytes += rare ? alphabet[rng() % alphabet.size()] : alphabet[rng() % 5];
    }
    std::size_t from = n == 0 ? 0 : rng() % (n + 1);
    RecordEnd want{false, n};
    for (std::size_t i = from; i < n; ++i) {
      unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c == 0xF9) {
        if (i + 1 == n) {
          want = {false, i};
          break;
        }
        ++i;
      } else if (c == 0xFA || c == 0xFB || c == '\n') {
        want = {true, i};
        break;
      }
    }
    RecordEnd got = endOf(bytes, from);
    ASSERT_EQ(got.found, want.found) << round;
    ASSERT_EQ(got.at, want.at) << round;
  }
}

}  // namespace
}  // namespace dbc
