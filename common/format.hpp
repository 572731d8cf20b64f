// The layout of DB/C data files, shared by every reader and writer of them in the suite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace dbc {

inline constexpr unsigned char kPairFirst = 0x80;  // digit pair "00"
inline constexpr unsigned char kPairLast = 0xF8;   // digit pair ".."
inline constexpr unsigned char kSpaceRun = 0xF9;   // followed by one count byte
inline constexpr unsigned char kRecordMark = 0xFA;
inline constexpr unsigned char kEofMark = 0xFB;
inline constexpr unsigned char kDeleted = 0xFF;
inline constexpr unsigned char kTextDeleted = 0x7F;  // deleted space in text type files
inline constexpr int kMaxSpaceRun = 248;             // a count byte never looks like a mark

// What a byte of a DB/C type file is, before the compression and invalid-character switch
// decide what the 0x80..0xF8 range means.
enum class ByteClass : unsigned char {
  kNull,        // 0x00: damage
  kControl,     // 0x01..0x1F except tab, 0x14 and escape: damage
  kData,        // ordinary data characters, 0xFC..0xFE included
  kHigh,        // 0x80..0xF8: digit pair, own character, or damage
  kSpaceRun,    // 0xF9
  kRecordMark,  // 0xFA
  kEofMark,     // 0xFB
  kDeleted,     // 0xFF
};

constexpr ByteClass byteClass(unsigned char b) {
  if (b == 0x00) return ByteClass::kNull;
  if (b < 0x20)
    return (b == 0x09 || b == 0x14 || b == 0x1B) ? ByteClass::kData : ByteClass::kControl;
  if (b < kPairFirst) return ByteClass::kData;
  if (b <= kPairLast) return ByteClass::kHigh;
  switch (b) {
    case kSpaceRun:
      return ByteClass::kSpaceRun;
    case kRecordMark:
      return ByteClass::kRecordMark;
    case kEofMark:
      return ByteClass::kEofMark;
    case kDeleted:
      return ByteClass::kDeleted;
    default:
      return ByteClass::kData;  // 0xFC..0xFE
  }
}

// Null or control byte: the damage classes shared by DB/C and text type files.
constexpr bool isControlDamage(unsigned char b) {
  ByteClass c = byteClass(b);
  return c == ByteClass::kNull || c == ByteClass::kControl;
}

constexpr bool isPairByte(unsigned char b) { return b >= kPairFirst && b <= kPairLast; }

// The alphabet of digit pairs: '0'..'9' have the indexes 0..9, '.' has 10; -1 for anything else.
constexpr int pairIndex(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c == '.') return 10;
  return -1;
}

constexpr char pairChar(int index) { return index == 10 ? '.' : static_cast<char>('0' + index); }

constexpr unsigned char pairCode(unsigned char first, unsigned char second) {
  return static_cast<unsigned char>(kPairFirst + 11 * pairIndex(first) + pairIndex(second));
}

// Nonzero when one of the eight bytes of `x` lies outside kLow..kHigh (1 <= kLow <= kHigh <=
// 0x7F), zero when all lie inside: a byte below kLow borrows into its top bit, one above kHigh
// carries into it or has it set already. A borrow or carry spills into a neighbour only from a
// byte that was out of range itself, so the answer is exact for the word as a whole. The scans
// of the suite take their bytes eight at a time with it.
template <unsigned char kLow, unsigned char kHigh>
constexpr std::uint64_t outsideRange(std::uint64_t x) {
  static_assert(kLow >= 1 && kLow <= kHigh && kHigh <= 0x7F);
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  std::uint64_t below = (x - kOnes * kLow) & ~x & kHighs;
  std::uint64_t above = ((x + kOnes * (0x7F - kHigh)) | x) & kHighs;
  return below | above;
}

// The eight bytes at `p` as one word, in memory order.
inline std::uint64_t loadWord(const unsigned char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// How many of the `n` bytes at `p` lie in 0x20..0x7F, counted from the start: the characters
// that every decoding passes through unchanged, taken eight at a time.
inline std::size_t plainRun(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (outsideRange<0x20, 0x7F>(loadWord(p + i))) break;
  }
  while (i < n && p[i] >= 0x20 && p[i] <= 0x7F) ++i;
  return i;
}

struct PairChars {
  char first;
  char second;
};

constexpr PairChars pairChars(unsigned char code) {
  int v = code - kPairFirst;
  return {pairChar(v / 11), pairChar(v % 11)};
}

// The two characters of every digit-pair byte side by side, so that a decoder copies a pair
// with one two-byte move instead of working out its digits.
struct PairTable {
  char text[2 * (kPairLast - kPairFirst + 1)];
};
constexpr PairTable makePairTable() {
  PairTable t{};
  for (int c = kPairFirst; c <= kPairLast; ++c) {
    PairChars pc = pairChars(static_cast<unsigned char>(c));
    t.text[2 * (c - kPairFirst)] = pc.first;
    t.text[2 * (c - kPairFirst) + 1] = pc.second;
  }
  return t;
}
inline constexpr PairTable kPairTable = makePairTable();
// The two characters of the pair byte `code` (one of kPairFirst..kPairLast).
constexpr const char* pairText(unsigned char code) {
  return kPairTable.text + 2 * (code - kPairFirst);
}

// Decodes the bytes of one compressed record (without its mark) into the text it stands for:
// digit pairs unless `ichrs` says 0x80..0xF8 are characters of their own, space runs, 0xFF
// skipped. A run marker with no count byte after it stands for nothing.
void appendDecoded(std::string_view record, bool ichrs, std::string& out);
inline std::string decodeRecord(std::string_view record, bool ichrs) {
  std::string out;
  appendDecoded(record, ichrs, out);
  return out;
}

// Encodes text the way DB/C compresses a record: two or more spaces become a run (split at 248),
// two adjacent digit-or-point characters become a pair code unless `ichrs` is set. No mark.
void appendEncoded(std::string_view text, bool ichrs, std::string& out);
// The same written at `out`, which needs room for text.size() bytes (no character takes more
// than one byte, no space run more than its spaces); returns the end.
char* encodeTo(std::string_view text, bool ichrs, char* out);
inline std::string encodeRecord(std::string_view text, bool ichrs) {
  std::string out;
  appendEncoded(text, ichrs, out);
  return out;
}

}  // namespace dbc
