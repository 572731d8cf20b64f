#include "common/format.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace dbc {
namespace {

TEST(Format, ByteClasses) {
  EXPECT_EQ(byteClass(0x00), ByteClass::kNull);
  for (int b : {0x01, 0x08, 0x0A, 0x0D, 0x13, 0x15, 0x1A, 0x1C, 0x1F}) {
    EXPECT_EQ(byteClass(b), ByteClass::kControl) << b;
    EXPECT_TRUE(isControlDamage(b));
  }
  for (int b : {0x09, 0x14, 0x1B, 0x20, 0x7E, 0x7F, 0xFC, 0xFD, 0xFE}) {
    EXPECT_EQ(byteClass(b), ByteClass::kData) << b;
  }
  EXPECT_EQ(byteClass(0x80), ByteClass::kHigh);
  EXPECT_EQ(byteClass(0xF8), ByteClass::kHigh);
  EXPECT_EQ(byteClass(0xF9), ByteClass::kSpaceRun);
  EXPECT_EQ(byteClass(0xFA), ByteClass::kRecordMark);
  EXPECT_EQ(byteClass(0xFB), ByteClass::kEofMark);
  EXPECT_EQ(byteClass(0xFF), ByteClass::kDeleted);
}

TEST(Format, PairTableBothWays) {
  EXPECT_EQ(pairCode('0', '0'), 0x80);
  EXPECT_EQ(pairCode('0', '.'), 0x8A);
  EXPECT_EQ(pairCode('1', '0'), 0x8B);
  EXPECT_EQ(pairCode('1', '1'), 0x8C);
  EXPECT_EQ(pairCode('.', '.'), 0xF8);
  for (int code = 0x80; code <= 0xF8; ++code) {
    PairChars p = pairChars(code);
    EXPECT_EQ(pairCode(p.first, p.second), code);
  }
  EXPECT_EQ(pairIndex('a'), -1);
}

TEST(Format, DecodesRunsPairsAndSkipsDeleted) {
  EXPECT_EQ(decodeRecord("\xF9\x05"
                         "A",
                         false),
            "     A");
  EXPECT_EQ(decodeRecord("\x8C", false), "11");
  EXPECT_EQ(decodeRecord("\xF8", false), "..");
  EXPECT_EQ(decodeRecord("\x8C", true), "\x8C");
  EXPECT_EQ(decodeRecord("A\xFF"
                         "B",
                         false),
            "AB");
  EXPECT_EQ(decodeRecord("A\xF9", false), "A");  // a run cut off at the end stands for nothing
}

TEST(Format, EncodesLikeTheTagWriter) {
  // Adjacent digit-or-point characters pair up left to right; a lone one stays itself.
  std::string text = std::string(8, ' ') + "1024" + std::string(11, ' ') + "1" +
                     std::string(11, ' ') + "0" + "ABC";
  EXPECT_EQ(encodeRecord(text, false),
            "\xF9\x08\x8B\x9A\xF9\x0B"
            "1\xF9\x0B"
            "0ABC");
  EXPECT_EQ(encodeRecord("123", false),
            "\x8D"
            "3");
  EXPECT_EQ(encodeRecord("a 1", false), "a 1");
  EXPECT_EQ(encodeRecord("12", true), "12");
  EXPECT_EQ(encodeRecord("A   ", false), "A\xF9\x03");
  std::string spaces(300, ' ');
  EXPECT_EQ(encodeRecord(spaces, false), "\xF9\xF8\xF9\x34");
  EXPECT_EQ(encodeRecord(std::string(249, ' '), false), "\xF9\xF8 ");
}

TEST(Format, RoundTripOnSeededText) {
  std::mt19937 rng(7);
  const std::string alphabet = "0123456789.  AZ-";
  for (int i = 0; i < 500; ++i) {
    std::string text;
    int n = rng() % 600;
    for (int j = 0; j < n; ++j) text.push_back(alphabet[rng() % alphabet.size()]);
    EXPECT_EQ(decodeRecord(encodeRecord(text, false), false), text);
    EXPECT_EQ(decodeRecord(encodeRecord(text, true), true), text);
  }
}

TEST(Format, PlainRunStopsAtTheFirstByteOutsideTheCharacters) {
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

// The rules one character at a time, as they are stated: a digit or point waits for a partner,
// anything else sends it out alone; spaces gather into runs of at most 248.
std::string encodeByCharacter(const std::string& text, bool ichrs) {
  std::string out;
  int spaces = 0;
  int pending = -1;
  auto flushSpaces = [&] {
    for (; spaces > kMaxSpaceRun; spaces -= kMaxSpaceRun) out += "\xF9\xF8";
    if (spaces == 1) out += ' ';
    if (spaces > 1) out += {static_cast<char>(kSpaceRun), static_cast<char>(spaces)};
    spaces = 0;
  };
  for (unsigned char c : text) {
    if (c != ' ') flushSpaces();
    if (c != ' ' && !ichrs && pairIndex(c) >= 0) {
      if (pending < 0) {
        pending = c;
      } else {
        out += static_cast<char>(pairCode(static_cast<unsigned char>(pending), c));
        pending = -1;
      }
      continue;
    }
    if (pending >= 0) out += static_cast<char>(pending);
    pending = -1;
    if (c == ' ') {
      ++spaces;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (pending >= 0) out += static_cast<char>(pending);
  flushSpaces();
  return out;
}

TEST(Format, RunAtATimeEncodingAgreesWithTheCharacterRules) {
  std::mt19937 rng(20261208);
  const std::string alphabet = "      0123456789..AZ\xE0";
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    // Now and then a long blank stretch, to cross the 248-space split.
    int n = rng() % 8 == 0 ? 200 + rng() % 400 : rng() % 90;
    bool blanks = rng() % 8 == 0;
    for (int j = 0; j < n; ++j)
      text += blanks && rng() % 50 != 0 ? ' ' : alphabet[rng() % alphabet.size()];
    for (bool ich : {false, true})
      ASSERT_EQ(encodeRecord(text, ich), encodeByCharacter(text, ich)) << text;
  }
}

}  // namespace
}  // namespace dbc
