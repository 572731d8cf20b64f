#include "common/codec.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

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

// Each byte value alone between two letters, in both views and with and without the switch.
TEST(Codec, KeptAndCleanedViewsOfEveryByte) {
  for (int v = 0; v < 256; ++v) {
    const auto b = static_cast<unsigned char>(v);
    const std::string rec = std::string("A") + static_cast<char>(b) + "Z";
    for (bool ichrs : {false, true}) {
      std::string kept, cleaned;
      appendDecoded(rec, keptTable(ichrs), kept);
      appendDecoded(rec, cleanedTable(ichrs), cleaned);
      std::string mid;  // what the byte stands for in the kept view
      if (b == kSpaceRun) {
        mid = std::string(static_cast<unsigned char>('Z'), ' ');  // 'Z' is its count
      } else if (b == kDeleted) {
        mid = "";
      } else if (isPairByte(b) && !ichrs) {
        mid = {pairChars(b).first, pairChars(b).second};
      } else {
        mid = std::string(1, static_cast<char>(b));
      }
      std::string tail = b == kSpaceRun ? "" : "Z";
      ASSERT_EQ(kept, "A" + mid + tail) << v << " " << ichrs;
      // The index programs' view: a control byte is a space, 0xFA..0xFE stand for nothing.
      if (b < 0x20) mid = " ";
      if (b >= kRecordMark) mid = "";
      ASSERT_EQ(cleaned, "A" + mid + tail) << v << " " << ichrs;
    }
  }
}

// A window of decoded columns against the same columns cut from the whole decoded text, for
// windows that start and end inside pairs and runs.
TEST(Codec, DecodedColumnsAreTheWindowOfTheWholeText) {
  std::mt19937 rng(5);
  const std::string alphabet = "   0123456789.AZ";
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    std::size_t n = rng() % 80;
    for (std::size_t i = 0; i < n; ++i) {
      if (rng() % 15 == 0) text.append(rng() % 260, ' ');
      text += alphabet[rng() % alphabet.size()];
    }
    std::string rec = encodeRecord(text, false) + "\xFF";
    std::size_t begin = rng() % 60, end = begin + rng() % 40;
    std::string out(end - begin, '?');
    std::size_t have = decodeColumns(rec, keptTable(false), begin, end,
                                     reinterpret_cast<unsigned char*>(out.data()));
    std::string want = begin < text.size() ? text.substr(begin, end - begin) : "";
    ASSERT_EQ(have, want.size()) << round;
    ASSERT_EQ(out.substr(0, have), want) << round;
  }
}

}  // namespace
}  // namespace dbc

namespace dbc {
namespace {

// Any bytes at all, through every table: decoding the front gives the whole text appendDecoded
// gives, and the first `end` columns of it when cut.
TEST(Codec, FrontDecodingAgreesWithTheWholeText) {
  std::mt19937 gen(33);
  const DecodeTable* tables[] = {&kKeptPairs, &kKeptBytes, &kCleanedPairs, &kCleanedBytes};
  for (int round = 0; round < 4000; ++round) {
    std::string rec;
    const std::size_t len = gen() % 50;
    for (std::size_t i = 0; i < len; ++i) {
      const unsigned r = gen() % 6;
      rec.push_back(static_cast<char>(r == 0 ? 0xF9 : r == 1 ? 0xFF : gen() % 256));
    }
    const DecodeTable& t = *tables[round % 4];
    std::string whole;
    appendDecoded(rec, t, whole);
    std::vector<unsigned char> out((len / 2 + 1) * 255 + kFrontSlack);
    const std::size_t n = decodeFront(rec, t, SIZE_MAX, out.data());
    ASSERT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(n)), whole) << round;
    const std::size_t end = gen() % 300;
    const std::size_t cut = decodeFront(rec, t, end, out.data());
    ASSERT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(cut)),
              whole.substr(0, std::min(end, whole.size())))
        << round;
  }
}

}  // namespace
}  // namespace dbc
