// Where a compressed record ends: at its record mark, at a line feed, or at the end-of-file mark
// that closes the whole file. The byte after a space-run marker is its count whatever its value,
// so the search must step over it: a count of 10 or 250 is no terminator. Both readers of
// compressed tag files (the sort utility and the index programs' reader of its output) frame
// records by this one rule, so a record the sort wrote is the record the index program reads.
#pragma once

#include <cstddef>

namespace dbc {

struct RecordEnd {
  bool found;      // `at` is the terminator
  std::size_t at;  // else where the search resumes once more bytes follow `len`
};

// Searches b[from, len) for the end of the record that `from` lies in (`from` at its start or
// at a byte the search reached before: never at a count byte). When the bytes run out first,
// `at` is `len`, or the run marker at len - 1 whose count is still to come.
RecordEnd findRecordEnd(const unsigned char* b, std::size_t from, std::size_t len);

}  // namespace dbc
