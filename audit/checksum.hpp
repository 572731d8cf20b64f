// The walk over the file that finds the records and writes one list line for each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "audit/djb2.hpp"
#include "audit/output.hpp"
#include "common/format.hpp"

namespace dbc::audit {

// True for the bytes that are not part of a record's checksum: the record mark, the end-of-file
// mark and deleted space.
constexpr bool notCounted(unsigned char b) {
  return b == dbc::kRecordMark || b == dbc::kEofMark || b == dbc::kDeleted;
}

// The first byte at or after `p` that is not counted, or `end`; each way finds the same byte.
using NotCountedFinder = const unsigned char* (*)(const unsigned char* p, const unsigned char* end);
const unsigned char* findNotCountedScalar(const unsigned char* p, const unsigned char* end);
#if defined(DBC_X86_VECTORS)
const unsigned char* findNotCountedSse2(const unsigned char* p, const unsigned char* end);
const unsigned char* findNotCountedAvx2(const unsigned char* p, const unsigned char* end);
#endif
// The fastest of them this processor runs.
NotCountedFinder bestNotCountedFinder();

// Walks a data file block by block. Records start at their first counted byte and end at a
// record mark; a mark with no counted byte before it (an empty or a deleted record) writes
// nothing, so that every list is in strictly ascending position order.
class ChecksumMaker {
 public:
  // `extend` and `find` are the ways the bytes are hashed and searched; every way gives the
  // same list.
  explicit ChecksumMaker(Output& out, ChecksumExtender extend = bestChecksumExtender(),
                         NotCountedFinder find = bestNotCountedFinder())
      : out_(out), extend_(extend), find_(find) {}

  // The next block of the file, in file order.
  void processBlock(const unsigned char* data, std::size_t n);

  std::int64_t filpos = 0;   // offset of the next byte to examine
  std::int64_t recpos = -1;  // start of the current record
  bool recflg = false;       // inside a record
  std::uint64_t chksum = 0;
  std::int64_t recndx = 0;  // counted bytes of the current record

 private:
  Output& out_;
  ChecksumExtender extend_;
  NotCountedFinder find_;
};

}  // namespace dbc::audit
