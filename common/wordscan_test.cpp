#include "common/wordscan.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dbc {
namespace {

TEST(WordScan, PlainRunStopsAtTheFirstByteOutsideTheCharacters) {
  // Every edge byte at every place of a buffer that spans two words and a tail.
  for (unsigned char edge : {0x00, 0x1F, 0x80, 0xF9, 0xFA, 0xFF}) {
    for (std::size_t at = 0; at < 19; ++at) {
      std::vector<unsigned char> b(19, 0x20);
      for (std::size_t i = 0; i < b.size(); i += 2) b[i] = 0x7F;
      b[at] = edge;
      EXPECT_EQ(plainRun(b.data(), b.size()), at) << int(edge) << " at " << at;
      EXPECT_EQ(plainRun(b.data(), at), at);
    }
  }
}

// Every byte value at every place of a word whose other bytes sit on the edges of the range:
// a borrow or carry from one byte must never make or hide a verdict on another.
TEST(WordScan, OutsideRangeIsExactForTheWord) {
  for (int v = 0; v < 256; ++v) {
    for (int at = 0; at < 8; ++at) {
      unsigned char b[8] = {0x20, 0x7E, 0x20, 0x7E, 0x20, 0x7E, 0x20, 0x7E};
      b[at] = static_cast<unsigned char>(v);
      bool outside = v < 0x20 || v > 0x7E;
      bool flagged = outsideRange<0x20, 0x7E>(loadWord(b)) != 0;
      EXPECT_EQ(flagged, outside) << v << " at " << at;
    }
  }
}

TEST(WordScan, FindFirstNamesTheFirstMatchingByte) {
  auto isZ = [](unsigned char c) { return c == 'Z'; };
  auto mask = [](std::uint64_t x) { return ~(differs7(x, 'Z') | x) & kByteTops; };
  for (std::size_t len = 0; len < 20; ++len) {
    for (std::size_t at = 0; at <= len; ++at) {
      // 0xDA shares the low seven bits of 'Z'; it must not match.
      std::string s(len, '\xDA');
      if (at < len) s[at] = 'Z';
      if (at + 1 < len) s[at + 1] = 'Z';
      EXPECT_EQ(findFirst(s.data(), len, mask, isZ), at) << len << " " << at;
    }
  }
}

}  // namespace
}  // namespace dbc
