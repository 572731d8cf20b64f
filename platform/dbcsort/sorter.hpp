// The sort itself: records are gathered into memory up to the budget, sorted there, and, when
// the input does not fit, written out as sorted runs that are then merged, as many levels as the
// number of runs needs. With more than one thread the budget's memory is cut into as many chunks
// as threads: while one chunk is filled from the input, the full ones are sorted and written on
// threads of their own, and the merges of a level run side by side.
#pragma once

#include <cstddef>
#include <string>

#include "platform/dbcsort/budget.hpp"
#include "platform/dbcsort/chunk.hpp"
#include "platform/dbcsort/options.hpp"
#include "platform/dbcsort/records.hpp"

namespace dbc::dbcsort {

struct SortJob {
  Form form = Form::kText;
  KeySpec key;
  bool ichrs = false;   // compressed records: 0x80..0xF8 are characters, not digit pairs
  std::string tempDir;  // where run files go
  Budget budget = Budget::of(kDefaultBudget);  // with the number of threads it allows
  // The largest input file that is mapped instead of read (0: none is).
  std::size_t mapAtMost = 0;

  ChunkKind kind() const { return {form, key, ichrs}; }
};

// Sorts every record of the file open on `inFd` (called `inName` in messages) and writes them,
// each with its terminator, to `out`. Returns the number of records.
std::size_t sortRecords(const SortJob& job, int inFd, const std::string& inName, Writer& out);

}  // namespace dbc::dbcsort
