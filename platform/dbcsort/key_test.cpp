#include "platform/dbcsort/key.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/codec.hpp"

namespace dbc::dbcsort {
namespace {

std::string keyOf(Form form, std::string_view rec, KeySpec spec, bool ichrs = false) {
  std::string k(keyBytes(spec), '?');
  recordKey(form, rec, ichrs, spec, reinterpret_cast<unsigned char*>(k.data()));
  return k;
}

std::string padded(std::string_view bytes, std::size_t width) {
  std::string k(bytes);
  k.resize(width, '\0');
  k.push_back(static_cast<char>(bytes.size() >> 8));
  k.push_back(static_cast<char>(bytes.size() & 0xFF));
  return k;
}

// Up to `most` bytes of any value, run markers and deleted spaces among them often, and with
// `digits` many digits too (pair-like text) and a count after many a marker.
std::string anyBytes(std::mt19937& gen, std::size_t most, bool digits) {
  std::string rec;
  const std::size_t len = gen() % most;
  for (std::size_t i = 0; i < len; ++i) {
    const unsigned r = gen() % (digits ? 10 : 8);
    rec.push_back(static_cast<char>(r == 0            ? 0xF9
                                    : r == 1          ? 0xFF
                                    : digits && r < 5 ? '0' + gen() % 10
                                                      : gen() % 256));
    if (digits && r == 0 && gen() % 2) rec.push_back(static_cast<char>(gen() % 256));
  }
  return rec;
}

TEST(TextKey, TakesTheColumnsAndCutsShortLines) {
  KeySpec spec{3, 6};
  EXPECT_EQ(keyOf(Form::kText, "abcdefgh", spec), padded("cdef", 4));
  EXPECT_EQ(keyOf(Form::kText, "abcd", spec), padded("cd", 4));
  EXPECT_EQ(keyOf(Form::kText, "ab", spec), padded("", 4));
  EXPECT_EQ(keyOf(Form::kText, "", spec), padded("", 4));
}

TEST(TextKey, ACutKeySortsBeforeEveryLongerKeyItStarts) {
  KeySpec spec{1, 4};
  // A real zero byte must not tie with the padding of a shorter key.
  std::string withNul("ab\0", 3);
  EXPECT_LT(keyOf(Form::kText, "ab", spec), keyOf(Form::kText, withNul, spec));
  EXPECT_LT(keyOf(Form::kText, withNul, spec), keyOf(Form::kText, "ab\x01", spec));
  EXPECT_LT(keyOf(Form::kText, "ab", spec), keyOf(Form::kText, "abc", spec));
  EXPECT_GT(keyOf(Form::kText, "b", spec), keyOf(Form::kText, "abcd", spec));
  EXPECT_GT(keyOf(Form::kText, "\xE0", spec), keyOf(Form::kText, "z", spec));  // unsigned
}

TEST(CompressedKey, DecodesTheWorkedTag) {
  // Block 1024, offset 1, record position 0, key ABC, as ixmark3 writes it.
  std::string rec =
      "\xF9\x08\x8B\x9A\xF9\x0B"
      "1\xF9\x0B"
      "0ABC";
  std::string text =
      std::string(8, ' ') + "1024" + std::string(11, ' ') + "1" + std::string(11, ' ') + "0ABC";
  ASSERT_EQ(dbc::decodeRecord(rec, false), text);
  KeySpec spec{25, 39};
  EXPECT_EQ(keyOf(Form::kCompressed, rec, spec), padded(text.substr(24), 15));
}

TEST(CompressedKey, AgreesWithTheFullDecodeOfEncodedText) {
  std::mt19937 gen(7);
  for (int round = 0; round < 3000; ++round) {
    bool ichrs = round % 3 == 0;
    // A high byte is a character of its own only under the switch.
    const std::string alphabet = ichrs ? "  0123456789..AZaz\x7F\xE0" : "  0123456789..AZaz\x7F";
    std::string text;
    std::size_t len = gen() % 60;
    for (std::size_t i = 0; i < len; ++i) {
      // Long space stretches now and then, to cross the run limit and key boundaries.
      if (gen() % 20 == 0) {
        text.append(gen() % 300, ' ');
      } else {
        text.push_back(alphabet[gen() % alphabet.size()]);
      }
    }
    std::string rec = dbc::encodeRecord(text, ichrs);
    std::size_t first = 1 + gen() % 40;
    KeySpec spec{first, first + gen() % 40};
    std::string decoded = dbc::decodeRecord(rec, ichrs);
    ASSERT_EQ(decoded, text);
    ASSERT_EQ(keyOf(Form::kCompressed, rec, spec, ichrs), keyOf(Form::kText, decoded, spec))
        << "round " << round;
  }
}

// Any bytes at all (marks, deleted spaces, runs cut short, long runs), with keys that end well
// before, just at and past the columns decoded on the stack: the key is the one the shared
// column decoder gives.
TEST(CompressedKey, AnyBytesAgreeWithTheColumnDecoder) {
  std::mt19937 gen(21);
  for (int round = 0; round < 4000; ++round) {
    const bool ichrs = round % 2 == 0;
    const std::string rec = anyBytes(gen, 40, false);
    const std::size_t ends[] = {1 + gen() % 60, 1000 + gen() % 48, 1024, 1025, 2000};
    const std::size_t last = ends[gen() % 5];
    const std::size_t first = 1 + gen() % last;
    const KeySpec spec{first, last};
    std::string cols(spec.width() + 2, '\0');
    const std::size_t have = dbc::decodeColumns(rec, dbc::keptTable(ichrs), first - 1, last,
                                                reinterpret_cast<unsigned char*>(cols.data()));
    ASSERT_EQ(keyOf(Form::kCompressed, rec, spec, ichrs),
              padded(cols.substr(0, have), spec.width()))
        << "round " << round;
  }
}

// The head decoded only as far as it needs is the head of the whole key, at every depth, on
// any bytes (marks, deleted spaces, runs cut short, runs that start before the head's columns
// and run through or past them), for keys short and long.
TEST(CompressedKey, HeadAgreesWithTheWholeKeyAtEveryDepth) {
  std::mt19937 gen(33);
  for (int round = 0; round < 3000; ++round) {
    const bool ichrs = round % 2 == 0;
    const std::string rec = anyBytes(gen, 50, true);
    const std::size_t first = 1 + gen() % 60;
    const KeySpec spec{first, first + gen() % 70};
    const std::string key = keyOf(Form::kCompressed, rec, spec, ichrs);
    for (std::size_t depth = 0; depth < key.size(); ++depth) {
      ASSERT_EQ(compressedHead(rec, ichrs, spec, depth),
                keyHead(reinterpret_cast<const unsigned char*>(key.data()), key.size(), depth))
          << "round " << round << " depth " << depth;
    }
  }
}

// The front of the key decoded only as far as it needs is the front of the whole key, for
// every length of front, on any bytes, for keys short and long (past the stack's columns too).
TEST(CompressedKey, FrontAgreesWithTheWholeKey) {
  std::mt19937 gen(34);
  for (int round = 0; round < 2000; ++round) {
    const bool ichrs = round % 2 == 0;
    const std::string rec = anyBytes(gen, 50, true);
    const std::size_t first = 1 + gen() % 60;
    const KeySpec spec{first, first + (round % 100 == 0 ? 1100 : gen() % 70)};
    const std::string key = keyOf(Form::kCompressed, rec, spec, ichrs);
    for (std::size_t count = 0; count <= spec.width(); count += 1 + count / 8) {
      std::string front(count, '?');
      compressedKeyFront(rec, ichrs, spec, count, reinterpret_cast<unsigned char*>(front.data()));
      ASSERT_EQ(front, key.substr(0, count)) << "round " << round << " count " << count;
    }
  }
}

TEST(CompressedKey, HighBytesArePairsOnlyWithoutTheSwitch) {
  KeySpec spec{1, 3};
  EXPECT_EQ(keyOf(Form::kCompressed,
                  "\x8C"
                  "A",
                  spec, false),
            padded("11A", 3));
  EXPECT_EQ(keyOf(Form::kCompressed,
                  "\x8C"
                  "A",
                  spec, true),
            padded("\x8C"
                   "A",
                   3));
  // Deleted-space bytes stand for nothing.
  EXPECT_EQ(keyOf(Form::kCompressed,
                  "\xFF"
                  "A\xFF"
                  "B",
                  spec),
            padded("AB", 3));
  // A run marker with its count missing ends the text.
  EXPECT_EQ(keyOf(Form::kCompressed, "A\xF9", spec), padded("A", 3));
}

}  // namespace
}  // namespace dbc::dbcsort
