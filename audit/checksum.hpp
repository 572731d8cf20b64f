// The per-record checksum of a data file: djb2 over the record's counted bytes, in 64 bits,
// and the walk over the file that finds the records and writes one list line for each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "audit/output.hpp"
#include "common/format.hpp"

namespace dbc::audit {

inline constexpr std::uint64_t kChecksumStart = 5381;

// One step of the hash: chksum * 33 + byte, modulo 2^64.
constexpr std::uint64_t djb2Step(std::uint64_t chksum, unsigned char byte) {
  return (chksum << 5) + chksum + byte;
}

// The hash continued over `n` bytes, all of them counted. Equal to djb2Step byte after byte; it
// works eight bytes at a time (the hash is a polynomial in 33) so that the chain of dependent
// steps is an eighth as long.
std::uint64_t extendChecksum(std::uint64_t chksum, const unsigned char* bytes, std::size_t n);

// True for the bytes that are not part of a record's checksum: the record mark, the end-of-file
// mark and deleted space.
constexpr bool notCounted(unsigned char b) {
  return b == dbc::kRecordMark || b == dbc::kEofMark || b == dbc::kDeleted;
}

// Walks a data file block by block. Records start at their first counted byte and end at a
// record mark; a mark with no counted byte before it (an empty or a deleted record) writes
// nothing, so that every list is in strictly ascending position order.
class ChecksumMaker {
 public:
  explicit ChecksumMaker(Output& out) : out_(out) {}

  // The next block of the file, in file order.
  void processBlock(const unsigned char* data, std::size_t n);

  std::int64_t filpos = 0;   // offset of the next byte to examine
  std::int64_t recpos = -1;  // start of the current record
  bool recflg = false;       // inside a record
  std::uint64_t chksum = 0;
  std::int64_t recndx = 0;  // counted bytes of the current record

 private:
  Output& out_;
};

}  // namespace dbc::audit
