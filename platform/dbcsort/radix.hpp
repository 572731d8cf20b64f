// Sorting fixed-size entries by their leading bytes. The tag keys are fixed-width byte strings,
// so a most-significant-byte-first radix sort beats any comparison sort on them.
#pragma once

#include <cstddef>

namespace dbc::dbcsort {

// Sorts the `n` entries of `stride` bytes at `base` into ascending order of their first
// `compared` bytes (unsigned, byte by byte), in place. Entries whose compared bytes are equal end
// up in no particular order, so callers make those bytes unique when order matters.
void radixSort(unsigned char* base, std::size_t n, std::size_t stride, std::size_t compared);

}  // namespace dbc::dbcsort
