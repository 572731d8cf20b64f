// Decimal numbers written the way printf's %lld writes them and read back, several times faster
// than printf and sscanf: the audit lists are one or two numbers per record of a file of millions
// of records, and formatting and reading them were most of jrnmake's and jrnjoin's time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbc {

// The most a number takes: a sign and twenty digits.
inline constexpr std::size_t kDecimalWidth = 21;

// Writes `value` at `p` ("-" for a negative one, no leading zeros, "0" for zero) and returns the
// end. The caller leaves kDecimalRoom bytes at `p`: a short number is stored as a whole word, so
// bytes past the end returned may be written over.
char* writeDecimal(char* p, std::int64_t value);
char* writeDecimal(char* p, std::uint64_t value);

// Reads the run of decimal digits at `p` (up to `end`) into `value` and moves `p` past it; false,
// with `p` where it was, when there is no digit or more than 19 (more than 64 bits may hold).
// Eight digits are taken at a time where eight bytes remain before `end`.
bool readDigits(const char*& p, const char* end, std::uint64_t& value);

// The count of decimal digits of `value`, 1 for 0.
int decimalDigitCount(std::uint64_t value);

// The eight digits of `x` (below 10^8) with leading zeros, as one word whose lowest byte holds
// the first digit in memory order: stored little-endian, it reads as the digits.
std::uint64_t eightDigitWord(std::uint32_t x);

// Room writeDecimal needs at `p`.
inline constexpr std::size_t kDecimalRoom = kDecimalWidth;

}  // namespace dbc
