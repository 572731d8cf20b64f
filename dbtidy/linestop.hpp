// Where a source line stops being plain text: the first line feed, carriage return or zero byte.
// A line with none of the last two before its line feed is handed out as it lies in the read
// buffer; the others go the byte-by-byte way.
#pragma once

#include <cstddef>

namespace dbc::dbtidy {

// Index of the first LF, CR or zero byte among p[0 .. n), or n when there is none. Reads no byte
// outside them.
std::size_t findLineStop(const char* p, std::size_t n);

// The same, a byte at a time: what runs where SSE2 is missing, and what the vector path is
// checked against.
std::size_t findLineStopScalar(const char* p, std::size_t n);

}  // namespace dbc::dbtidy
