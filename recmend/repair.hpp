// The repair run: finds the bytes of fixed-length records that lie outside the printable range,
// reports them and, in update mode, writes the repaired records back where they were read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/context.hpp"
#include "recmend/options.hpp"

namespace dbc::recmend {

inline constexpr unsigned char END_OF_RECORD = 0xFA;
inline constexpr unsigned char NULL_VALUE = 0x00;
inline constexpr unsigned char NULL_FILL_VALUE = 0xFF;
// More NUL bytes than this in one record under hex-zero detection deletes the record.
inline constexpr std::uint32_t DELETE_NULL_THRESHOLD = 10;
// The detection run reads as many whole records as fit in this many bytes at a time: few enough
// that they stay in the processor's cache between the read's copy and the test, which makes the
// run about half again as fast as reads of several megabytes.
inline constexpr std::size_t DETECTION_CHUNK = std::size_t{256} << 10;

// True when byte `b` may stand at `index` of a record of `size` bytes: printable, or the record
// mark as the last byte.
inline bool valid_byte(unsigned char b, std::size_t index, std::size_t size) {
  return (b >= VALID_START && b <= VALID_END) || (b == END_OF_RECORD && index + 1 == size);
}

// Runs the repair the settings ask for: the position run (-p and the list of -i) or the
// detection run (-x, -y). Reports go to the context's output; read and write errors and the
// system's reasons to its error stream. kFailed when a file could not be opened or a list line
// was invalid.
Result process_file(const Settings& s, const Context& context);

}  // namespace dbc::recmend
