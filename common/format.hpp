// The layout of DB/C data files, shared by every reader and writer of them in the suite.
#pragma once

#include <cstddef>
#include <cstdint>

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

struct PairChars {
  char first;
  char second;
};

constexpr PairChars pairChars(unsigned char code) {
  int v = code - kPairFirst;
  return {pairChar(v / 11), pairChar(v % 11)};
}

}  // namespace dbc
