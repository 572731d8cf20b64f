#include "ixmark/tag.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "common/codec.hpp"
#include "testkit/capture.hpp"

namespace dbc::ixmark {
namespace {

TEST(Tag, NumbersAreWrittenAsTheFormatWould) {
  for (std::uint64_t v : {0ull, 7ull, 999999999999ull, 1000000000000ull, 9223372036854775807ull}) {
    char want[32], got[32];
    std::snprintf(want, sizeof want, "%12lld", static_cast<long long>(v));
    *putRight(got, v, 12) = '\0';
    EXPECT_STREQ(got, want);
  }
}

TEST(Tag, WorkedExample) {
  std::string text = tagText(1024, 1, 0, "ABC");
  EXPECT_EQ(text, "        1024           1           0ABC");
  std::string enc;
  encodeTag(text, false, enc);
  EXPECT_EQ(enc,
            "\xF9\x08\x8B\x9A\xF9\x0B"
            "1\xF9\x0B"
            "0ABC\xFA");
}

TEST(Tag, EncodingRules) {
  std::string enc;
  // Trailing key spaces are a run before the mark; a lone point between letters stays itself;
  // digits of a key pair with each other.
  encodeTag("A.B 12.  ", false, enc);
  EXPECT_EQ(enc, std::string("A.B ") + static_cast<char>(pairCode('1', '2')) + ".\xF9\x02\xFA");
  enc.clear();
  encodeTag("  1024", true, enc);
  EXPECT_EQ(enc,
            "\xF9\x02"
            "1024\xFA");
  // Whatever is encoded decodes to the same text.
  for (bool ich : {false, true}) {
    std::string t = tagText(99887766, 4095, 123456789012LL, "K 3.14  Z9");
    enc.clear();
    encodeTag(t, ich, enc);
    ASSERT_EQ(enc.back(), '\xFA');
    EXPECT_EQ(decodeRecord(std::string_view(enc).substr(0, enc.size() - 1), ich), t);
  }
}

// The compressed record formed straight from a tag's parts is the one compressing its text
// gives: numbers of every width (odd and even digit counts, wider than their columns, so that
// digits pair across columns), negative offsets, keys that start with a digit, a point or
// spaces, keys empty or all digits, with and without digit pairs.
TEST(Tag, CompressedStraightFromThePartsAsFromTheText) {
  std::mt19937_64 gen(21);
  auto number = [&] {
    const int digits = static_cast<int>(gen() % 20);
    std::uint64_t v = 0;
    for (int i = 0; i < digits; ++i) v = v * 10 + gen() % 10;
    return v % 9223372036854775807ull;
  };
  const char alphabet[] = "0123456789. AZ.9";
  for (int i = 0; i < 20000; ++i) {
    std::string key;
    const int keyLen = static_cast<int>(gen() % 12);
    for (int k = 0; k < keyLen; ++k) key.push_back(alphabet[gen() % (sizeof alphabet - 1)]);
    const std::uint64_t filpos1 = number(), txtpos = number();
    const int bufpos =
        static_cast<int>(gen() % 3 == 0 ? -static_cast<int>(gen() % 99) : number() % 2000000000);
    for (bool ich : {false, true}) {
      std::string want;
      encodeTag(tagText(filpos1, bufpos, txtpos, key.c_str()), ich, want);
      want.pop_back();  // the mark
      char got[kTagMax];
      const char* end = encodeTagTo(got, filpos1, bufpos, txtpos, key.c_str(), ich);
      ASSERT_EQ(std::string(static_cast<const char*>(got), end), want)
          << filpos1 << " " << bufpos << " " << txtpos << " '" << key << "' " << ich;
    }
  }
}

// Numbers on either side of every power of ten, where their digit count changes.
TEST(Tag, CompressedNumbersAtEveryPowerOfTen) {
  std::uint64_t p = 1;
  for (int k = 0; k < 20; ++k, p *= 10) {
    for (std::uint64_t v : {p - 1, p, p + 1}) {
      for (bool ich : {false, true}) {
        std::string want;
        encodeTag(tagText(v, 7, v, "K1"), ich, want);
        want.pop_back();
        char got[kTagMax];
        const char* end = encodeTagTo(got, v, 7, v, "K1", ich);
        ASSERT_EQ(std::string(static_cast<const char*>(got), end), want) << v << " " << ich;
      }
    }
  }
}

// The word-at-a-time test of a key agrees with a byte-at-a-time one: every byte value at every
// place of keys of every length up to the longest.
TEST(Tag, PrintableKeysAsByteByByte) {
  std::mt19937 gen(5);
  for (std::size_t n = 0; n <= static_cast<std::size_t>(kMaxKeySize); ++n) {
    std::vector<unsigned char> key(n);
    for (int round = 0; round < 40; ++round) {
      for (auto& c : key) c = static_cast<unsigned char>(0x20 + gen() % 0x5F);
      if (n > 0 && round > 0) key[gen() % n] = static_cast<unsigned char>(gen() % 256);
      bool want = true;
      for (unsigned char c : key) want &= c >= 0x20 && c <= 0x7E;
      ASSERT_EQ(printable(key.data(), n), want) << n << " round " << round;
    }
  }
  for (int v = 0; v < 256; ++v) {
    std::vector<unsigned char> key(13, 'A');
    key[gen() % 13] = static_cast<unsigned char>(v);
    EXPECT_EQ(printable(key.data(), key.size()), v >= 0x20 && v <= 0x7E) << v;
  }
}

struct Written {
  std::string file, out;
  long reccnt1, tagerr2;
};

Written writeTags(const Variant& v, bool ichflg, const Collate& col,
                  const std::vector<IndexEntry>& entries, int keysiz) {
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  testkit::Capture out;
  TagWriter w(v, ichflg, col, keysiz, false, f, out.file());
  for (const auto& e : entries) w.wrttag1(e);
  EXPECT_TRUE(w.finish());
  Written r{"", out.text(), w.reccnt1, w.tagerr2};
  std::fclose(f);
  r.file.assign(buf, len);
  std::free(buf);
  return r;
}

TEST(TagWriter, CleaningAndInvalidCharacters) {
  Collate off;
  std::vector<IndexEntry> e{{"A\nB", 5, 1024, 10}, {"A\x01\x90", 6, 1024, 20}};
  Written w3 = writeTags(kIxmark3, false, off, e, 3);
  EXPECT_EQ(w3.out,
            "Invalid character 0x01 in record starting at 6\n"
            "Invalid character 0x90 in record starting at 6\n");
  EXPECT_EQ(w3.tagerr2, 1);
  std::string want =
      "\xF9\x08\x8B\x9A\xF9\x0A\x8B\xF9\x0B"
      "5A B\xFA"
      "\xF9\x08\x8B\x9A\xF9\x0A\x96\xF9\x0B"
      "6A\xF9\x02\xFA";
  EXPECT_EQ(w3.file, want);

  // ixmark reports the same characters and leaves them in its text line.
  Written w2 = writeTags(kIxmark, false, off, e, 3);
  EXPECT_EQ(w2.out, w3.out);
  EXPECT_EQ(w2.file, tagText(1024, 10, 5, "A B") + "\n" + tagText(1024, 20, 6, "A\x01\x90") + "\n");

  // With ichrs on 0xE0 is a character, 0xF9..0xFF are not: raw they would break the record.
  Written wi = writeTags(kIxmark3, true, off, {{"\xE0\xFA\xF9", 7, 0, 0}}, 3);
  EXPECT_EQ(wi.out,
            "Invalid character 0xFA in record starting at 7\n"
            "Invalid character 0xF9 in record starting at 7\n");
  EXPECT_EQ(wi.file,
            "\xF9\x0B"
            "0\xF9\x0B"
            "0\xF9\x0B"
            "7\xE0\xF9\x02\xFA");
}

TEST(TagWriter, DuplicatesAndCollate) {
  Collate off;
  std::vector<IndexEntry> e{{"ABC", 0, 1024, 10}, {"ABC", 0, 1024, 10}, {"ABC", 0, 2048, 10}};
  Written w = writeTags(kIxmark, false, off, e, 3);
  EXPECT_EQ(w.out, "Duplicate record in index: " + tagText(1024, 10, 0, "ABC") + "\n");
  EXPECT_EQ(w.reccnt1, 3);
  EXPECT_EQ(w.file, tagText(1024, 10, 0, "ABC") + "\n" + tagText(2048, 10, 0, "ABC") + "\n");

  Collate up("97:65;98:66");
  Written c = writeTags(kIxmark3, false, up, {{"abc", 0, 0, 0}}, 3);
  EXPECT_EQ(decodeRecord(std::string_view(c.file).substr(0, c.file.size() - 1), false),
            tagText(0, 0, 0, "ABc"));
}

}  // namespace
}  // namespace dbc::ixmark
