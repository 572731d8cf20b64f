#include "ixmark/wordencode.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/codec.hpp"

namespace dbc::ixmark {
namespace {

std::string byWords(const std::string& text, bool ichrs) {
  std::vector<char> out(text.size() + 1);
  return {out.data(), encodeWords(text, ichrs, out.data())};
}

std::string byCodec(const std::string& text, bool ichrs) {
  std::vector<char> out(text.size() + 1);
  return {out.data(), encodeTo(text, ichrs, out.data())};
}

// Every way of writing a text agrees with the codec's, on texts of every length from every
// offset of a word: runs of digits of every parity crossing the words' edges, points among
// them, spaces, letters and the bytes from 0x80 up that the word tests leave to the character
// rules, every byte value, and blank stretches past the longest space run.
TEST(WordEncode, AgreesWithTheCodecOnEveryLengthAndOffset) {
  std::mt19937 rng(2112);
  const std::string alphabets[] = {"0123456789",
                                   "0123456789.",
                                   "  0123456789AZ",
                                   "ABCXYZ",
                                   "0123456789.AZ \xE0\x80\xF8",
                                   "0000000000000000000 "};
  for (int i = 0; i < 20000; ++i) {
    const std::string& a = alphabets[rng() % std::size(alphabets)];
    std::string text;
    const int n =
        rng() % 16 == 0 ? 200 + static_cast<int>(rng() % 400) : static_cast<int>(rng() % 70);
    const bool blanks = rng() % 10 == 0;
    for (int j = 0; j < n; ++j) {
      if (blanks && rng() % 40 != 0)
        text += ' ';
      else if (rng() % 50 == 0)
        text += static_cast<char>(rng() % 256);
      else
        text += a[rng() % a.size()];
    }
    for (std::size_t from = 0; from < 8 && from <= text.size(); ++from) {
      const std::string t = text.substr(from);
      for (bool ich : {false, true}) {
        const std::string want = byCodec(t, ich);
        ASSERT_EQ(byWords(t, ich), want) << t << " " << ich;
      }
    }
  }
}

TEST(WordEncode, WordsOfDigitsBecomeTheirPairCodes) {
  EXPECT_EQ(byWords("CUST0000000000012345", false), "CUST\x80\x80\x80\x80\x80\x81\x99\xB1");
  EXPECT_EQ(byWords("99999999", false), "\xEC\xEC\xEC\xEC");
  EXPECT_EQ(byWords("99999999", true), "99999999");
  EXPECT_EQ(byWords("AB      CD", false),
            "AB\xF9\x06"
            "CD");
}

}  // namespace
}  // namespace dbc::ixmark
