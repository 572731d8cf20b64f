// The two list formats of the audit chain, written and read in one place:
//   checksum list  "%lld %lld\n"  record position and checksum, one line per record (jrnmake);
//   change list    "%c%lld\n"     change code and record position, no blank between (jrnjoin).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "audit/output.hpp"
#include "common/simd.hpp"

namespace dbc::audit {

// Change codes, the first character of a change list line.
inline constexpr char kAdded = '1';    // position only in the second list
inline constexpr char kChanged = '2';  // checksums differ; the kChangedNew line follows
inline constexpr char kChangedNew = '3';
inline constexpr char kRemoved = '4';  // position only in the first list

void writeChecksumLine(Output& out, std::int64_t recpos, std::int64_t chksum);

// A checksum list line not yet written.
struct ChecksumLine {
  std::int64_t recpos;
  std::int64_t chksum;
};
// The lines of `n` records at once, as writeChecksumLine writes each: two lines' numbers are
// turned into digits together, and no line waits for the one before it.
using ChecksumLinesWriter = void (*)(Output& out, const ChecksumLine* lines, std::size_t n);
void writeChecksumLinesScalar(Output& out, const ChecksumLine* lines, std::size_t n);
#if defined(DBC_X86_VECTORS)
void writeChecksumLinesSse2(Output& out, const ChecksumLine* lines, std::size_t n);
void writeChecksumLinesAvx2(Output& out, const ChecksumLine* lines, std::size_t n);
#endif
// The fastest of them this processor runs.
ChecksumLinesWriter bestChecksumLinesWriter();
void writeChangeLine(Output& out, char code, std::int64_t recpos);

// Reads "%lld %lld" from `line` the way sscanf does: returns how many values it assigned (-1 when
// the line holds nothing but white space), and leaves the others as they were.
int scanChecksumLine(std::string_view line, std::int64_t& recpos, std::int64_t& chksum);
// Reads "%lld" from `text` the same way.
int scanPosition(std::string_view text, std::int64_t& recpos);

}  // namespace dbc::audit
