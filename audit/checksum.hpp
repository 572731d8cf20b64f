// The walk over the file that finds the records and writes one list line for each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "audit/lists.hpp"
#include "audit/output.hpp"
#include "audit/span.hpp"

namespace dbc::audit {

// Walks a data file block by block. Records start at their first counted byte and end at a
// record mark; a mark with no counted byte before it (an empty or a deleted record) writes
// nothing, so that every list is in strictly ascending position order.
class ChecksumMaker {
 public:
  // `span` and `write` are the ways the bytes are hashed and the lines written; every way
  // gives the same list.
  explicit ChecksumMaker(Output& out, SpanHasher span = bestSpanHasher(),
                         ChecksumLinesWriter write = bestChecksumLinesWriter())
      : out_(out), span_(span), write_(write) {}

  // The next block of the file, in file order; its lines are written before it returns.
  void processBlock(const unsigned char* data, std::size_t n);

  std::int64_t filpos = 0;   // offset of the next byte to examine
  std::int64_t recpos = -1;  // start of the current record
  bool recflg = false;       // inside a record
  std::uint64_t chksum = 0;
  std::int64_t recndx = 0;  // counted bytes of the current record

 private:
  void flush();

  Output& out_;
  SpanHasher span_;
  ChecksumLinesWriter write_;
  // A block's lines, written together.
  static constexpr std::size_t kPendingLines = 256;
  ChecksumLine pending_[kPendingLines];
  std::size_t pendingCount_ = 0;
};

}  // namespace dbc::audit
