// The sort itself: records are gathered into memory up to the budget, sorted there, and, when
// the input does not fit, written out as sorted runs that are then merged, as many levels as the
// number of runs needs.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dbcsort/block.hpp"
#include "platform/dbcsort/budget.hpp"
#include "platform/dbcsort/options.hpp"
#include "platform/dbcsort/records.hpp"

namespace dbc::dbcsort {

struct SortJob {
  Form form = Form::kText;
  KeySpec key;
  bool ichrs = false;   // compressed records: 0x80..0xF8 are characters, not digit pairs
  std::string tempDir;  // where run files go
  Budget budget = Budget::of(kDefaultBudget);
};

// Records and their keys for one run, held in one block of memory: the record bytes grow from
// its start, fixed-size entries (key, record offset, record length) from its end.
class Chunk {
 public:
  Chunk(std::size_t capacity, const SortJob& job);

  // Takes a copy of `record`; false when it does not fit (an empty chunk takes any record).
  bool add(std::string_view record);
  bool empty() const { return count_ == 0; }
  std::size_t size() const { return count_; }
  void sort();
  // The i-th record in sorted order; valid after sort().
  std::string_view record(std::size_t i) const;
  // Writes every record in sorted order to `out`, each with its terminator.
  void writeSorted(Writer& out) const;
  void clear();

 private:
  unsigned char* entry(std::size_t i) const { return end_ - (i + 1) * stride_; }
  // The i-th entry in sorted order: after sort() the entries run upwards from the lowest one.
  const unsigned char* sortedEntry(std::size_t i) const { return end_ - (count_ - i) * stride_; }

  const SortJob& job_;
  std::size_t capacity_;
  Block mem_;
  unsigned char* end_;
  std::size_t keyBytes_;
  std::size_t stride_;
  std::size_t used_ = 0;  // record bytes at the start
  std::size_t count_ = 0;
};

// Sorts every record of the file open on `inFd` (called `inName` in messages) and writes them,
// each with its terminator, to `out`. Returns the number of records.
std::size_t sortRecords(const SortJob& job, int inFd, const std::string& inName, Writer& out);

}  // namespace dbc::dbcsort
