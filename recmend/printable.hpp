// The detection run's quick test: whether a fixed-length record holds only printable bytes, its
// last byte also allowed to be the record mark. Nearly every record passes, so the test is made
// many bytes at a time; the variants are named so that each can be checked against the byte rule
// on any machine, whichever one `record_is_clean` picks.
#pragma once

#include <cstddef>

namespace dbc::recmend {

// True when every byte of the record is valid (see `valid_byte`). Picks the widest variant the
// processor runs; a run over many records picks once, through `fastest_clean_test`.
bool record_is_clean(const unsigned char* record, std::size_t size);
using CleanTest = bool (*)(const unsigned char* record, std::size_t size);
CleanTest fastest_clean_test();

// Eight bytes at a time in ordinary registers: runs everywhere.
bool record_is_clean_words(const unsigned char* record, std::size_t size);
// Sixteen and thirty-two bytes at a time; false from `available` where the build or the processor
// lacks the instructions.
bool record_is_clean_sse2(const unsigned char* record, std::size_t size);
bool record_is_clean_avx2(const unsigned char* record, std::size_t size);
bool sse2_available();
bool avx2_available();

}  // namespace dbc::recmend
