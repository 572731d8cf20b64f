// Where a compressed record ends: at its record mark, at a line feed, or at the end-of-file mark
// that closes the whole file. The byte after a space-run marker is its count whatever its value,
// so the search must step over it: a count of 10 or 250 is no terminator. Both readers of
// compressed tag files (the sort utility and the index programs' reader of its output) frame
// records by this one rule, so a record the sort wrote is the record the index program reads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/format.hpp"
#include "common/wordscan.hpp"

namespace dbc {

struct RecordEnd {
  bool found;      // `at` is the terminator
  std::size_t at;  // else where the search resumes once more bytes follow `len`
};

// The bytes the search stops at, eight at a time: 0xF9..0xFB (a byte's low seven bits reach
// 0x79 with its top bit set; the sum stays inside the byte), or a line feed. 0xFC..0xFF are
// flagged too and passed over one by one.
inline std::uint64_t framingBytes(std::uint64_t x) {
  std::uint64_t high = ((x & kByteLows) + kByteOnes * 0x07) & x;
  std::uint64_t lineFeed = ~(differs7(x, '\n') | x);
  return (high | lineFeed) & kByteTops;
}

// Searches b[from, len) for the end of the record that `from` lies in (`from` at its start or
// at a byte the search reached before: never at a count byte). When the bytes run out first,
// `at` is `len`, or the run marker at len - 1 whose count is still to come. Inline: it is the
// inner loop of both readers.
inline RecordEnd findRecordEnd(const unsigned char* b, std::size_t from, std::size_t len) {
  std::size_t i = from;
  for (;;) {
    for (; i + 8 <= len; i += 8) {
      if (std::uint64_t m = framingBytes(loadWord(b + i))) {
        i += firstByte(m);
        break;
      }
    }
    if (i >= len) return {false, len};
    unsigned char c = b[i];
    if (c == kSpaceRun) {
      if (i + 1 == len) return {false, i};
      i += 2;
    } else if (c == kRecordMark || c == kEofMark || c == '\n') {
      return {true, i};
    } else {
      ++i;
    }
  }
}

}  // namespace dbc
