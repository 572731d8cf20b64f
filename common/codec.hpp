// Compressing a record's text the way DB/C does, and decoding a compressed record back to its
// text: the one place that knows what each byte of a compressed record stands for. Every reader
// of compressed records decodes through a DecodeTable; they differ only in the table (whether
// 0x80..0xF8 are digit pairs, and whether control bytes and the bytes that are no character
// are kept as they are or read the way the index programs read data).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/format.hpp"

namespace dbc {

// What each byte of a compressed record decodes to: up to two characters, or one of the kinds
// below that a decoder handles itself. One lookup in place of a chain of tests keeps a decoder's
// branches few, as records mix plain, pair and run bytes unpredictably.
struct DecodeTable {
  static constexpr unsigned char kRun = 3;      // 0xF9: the next byte counts the spaces
  static constexpr unsigned char kDeleted = 4;  // 0xFF: deleted space, stands for nothing
  char text[256][2];
  unsigned char len[256];  // 0, 1 or 2 characters of text, or kRun, or kDeleted

  // Makes byte `b` stand for what character `c` means in data as the index programs read it:
  // itself up to 0x7F, a space run at 0xF9, a digit pair (or itself when `ichrs`) at
  // 0x80..0xF8, nothing for the bytes that are no character (0xFA..0xFF).
  constexpr void seenAs(int b, unsigned char c, bool ichrs) {
    text[b][0] = text[b][1] = ' ';
    if (c <= 0x7F || (ichrs && isPairByte(c))) {
      text[b][0] = static_cast<char>(c);
      len[b] = 1;
    } else if (isPairByte(c)) {
      text[b][0] = pairChars(c).first;
      text[b][1] = pairChars(c).second;
      len[b] = 2;
    } else {
      len[b] = c == kSpaceRun ? kRun : 0;
    }
  }
};

// Every byte kept: a control byte and 0xFA..0xFE decode to themselves, as the sort utility and
// the test fixtures see records.
constexpr DecodeTable makeKeptTable(bool ichrs) {
  DecodeTable t{};
  for (int b = 0; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    if (c < kRecordMark) {
      t.seenAs(b, c, ichrs);
    } else {
      t.text[b][0] = t.text[b][1] = static_cast<char>(c);
      t.len[b] = 1;
    }
  }
  t.len[kDeleted] = DecodeTable::kDeleted;
  return t;
}

// As the index programs read data: a control byte is a space, 0xFA..0xFE stand for nothing.
constexpr DecodeTable makeCleanedTable(bool ichrs) {
  DecodeTable t{};
  for (int b = 0; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    t.seenAs(b, c < 0x20 ? ' ' : c, ichrs);
  }
  t.len[kDeleted] = DecodeTable::kDeleted;
  return t;
}

inline constexpr DecodeTable kKeptPairs = makeKeptTable(false);
inline constexpr DecodeTable kKeptBytes = makeKeptTable(true);
inline constexpr DecodeTable kCleanedPairs = makeCleanedTable(false);
inline constexpr DecodeTable kCleanedBytes = makeCleanedTable(true);

inline const DecodeTable& keptTable(bool ichrs) { return ichrs ? kKeptBytes : kKeptPairs; }
inline const DecodeTable& cleanedTable(bool ichrs) { return ichrs ? kCleanedBytes : kCleanedPairs; }

// Appends the text of the compressed bytes `record` (without its mark) to `out`. A run marker
// with no count byte after it stands for nothing.
void appendDecoded(std::string_view record, const DecodeTable& t, std::string& out);
inline void appendDecoded(std::string_view record, bool ichrs, std::string& out) {
  appendDecoded(record, keptTable(ichrs), out);
}
inline std::string decodeRecord(std::string_view record, bool ichrs) {
  std::string out;
  appendDecoded(record, ichrs, out);
  return out;
}

// The decoded columns [begin, end) (0-based) of `record`, written to `out` (room for
// end - begin bytes); returns how many of them the record has. The bytes of `out` after those
// may be overwritten too. Decoding stops after column
// `end`, so a long record costs no more than a short one.
std::size_t decodeColumns(std::string_view record, const DecodeTable& t, std::size_t begin,
                          std::size_t end, unsigned char* out);

// The decoded columns [0, end) of `record` at `out`; returns how many of them the record has
// (all of them with end = SIZE_MAX). `out` needs room for min(end, the record's columns) +
// kFrontSlack bytes: every character is decoded with no test of room or of where a wanted stretch
// starts, which makes this the fastest way to decode a short record or the front of one.
inline constexpr std::size_t kFrontSlack = 256;
std::size_t decodeFront(std::string_view record, const DecodeTable& t, std::size_t end,
                        unsigned char* out);

// Encodes text the way DB/C compresses a record: two or more spaces become a run (split at 248),
// two adjacent digit-or-point characters become a pair code unless `ichrs` is set. No mark.
void appendEncoded(std::string_view text, bool ichrs, std::string& out);
// The same written at `out`, which needs room for text.size() bytes (no character takes more
// than one byte, no space run more than its spaces); returns the end.
char* encodeTo(std::string_view text, bool ichrs, char* out);
// One step of encodeTo at `p` (before `e`): a whole run of spaces, a digit pair or one character
// written at `out`; both move past what they took and wrote. For encoders that take the easy
// stretches some faster way and the rest by these rules.
inline void encodeToken(const unsigned char*& p, const unsigned char* e, bool ichrs, char*& out) {
  const unsigned char c = *p;
  if (c == ' ') {
    const auto* s = p;
    do ++p;
    while (p < e && *p == ' ');
    std::size_t n = static_cast<std::size_t>(p - s);
    for (; n > static_cast<std::size_t>(kMaxSpaceRun); n -= kMaxSpaceRun) {
      *out++ = static_cast<char>(kSpaceRun);
      *out++ = static_cast<char>(kMaxSpaceRun);
    }
    if (n == 1) {
      *out++ = ' ';
    } else {
      *out++ = static_cast<char>(kSpaceRun);
      *out++ = static_cast<char>(n);
    }
    return;
  }
  if (!ichrs && pairIndex(c) >= 0 && p + 1 < e && pairIndex(p[1]) >= 0) {
    *out++ = static_cast<char>(pairCode(c, p[1]));
    p += 2;
    return;
  }
  *out++ = static_cast<char>(c);
  ++p;
}
inline std::string encodeRecord(std::string_view text, bool ichrs) {
  std::string out;
  appendEncoded(text, ichrs, out);
  return out;
}

}  // namespace dbc
