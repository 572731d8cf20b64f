#include "common/codec.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace dbc {
namespace {

TEST(Codec, DecodesRunsPairsAndSkipsDeleted) {
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

TEST(Codec, EncodesLikeTheTagWriter) {
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

TEST(Codec, RoundTripOnSeededText) {
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

TEST(Codec, RunAtATimeEncodingAgreesWithTheCharacterRules) {
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
