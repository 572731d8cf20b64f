// The common shape of a checksum list line, "digits blank checksum line-feed" as jrnmake writes
// it, read in one look at its bytes. jrnjoin only asks whether two checksums are equal, so a
// checksum in its one shortest spelling is kept as text and compared as text: equal texts are
// equal numbers. Lines of any other shape go the way sscanf reads them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/simd.hpp"

namespace dbc::audit {

// A checksum as its shortest decimal text ("-" for a negative one), zero-filled words.
struct ChecksumText {
  std::uint64_t word[3] = {'0', 0, 0};
  std::size_t length = 1;

  bool operator==(const ChecksumText&) const = default;
};

// The text of `chksum`.
ChecksumText checksumText(std::int64_t chksum);

// The bytes a plain line needs after its start to be read in one look.
inline constexpr std::size_t kPlainLineRoom = 48;

// Reads the line at `p`, with at least kPlainLineRoom bytes there, when it is plain: a position of
// 1 to 16 digits, one blank, a checksum within the signed range in its shortest spelling, and a
// line feed within the first 32 bytes. Sets `recpos`, `chksum` and `used` (the line's length with
// its line feed) and returns true; false leaves everything as it was. Where this finds a line
// plain, the sscanf way reads the same numbers from it.
bool scanPlainLine(const char* p, std::int64_t& recpos, ChecksumText& chksum, std::size_t& used);

// Where both lists hold the same position and checksum, a run of lines alike byte for byte in
// both changes nothing, whatever they say. Finds such a run at `p1` and `p2`: lines each with
// its line feed within its first 32 bytes, each starting at least kPlainLineRoom bytes before
// `n`. Returns the run's length in bytes and sets `lines` to its count and `last` to the offset
// of its last line (both 0 for an empty run).
std::size_t alikeLines(const char* p1, const char* p2, std::size_t n, std::size_t& lines,
                       std::size_t& last);
// The same, a byte at a time; what alikeLines does where it has no vector instructions.
std::size_t alikeLinesScalar(const char* p1, const char* p2, std::size_t n, std::size_t& lines,
                             std::size_t& last);

}  // namespace dbc::audit
