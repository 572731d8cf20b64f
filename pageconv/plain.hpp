// The conversion rules one byte at a time, as plainly as they can be put: the yardstick that the
// fast passes (Measure, Converter) are held to byte for byte by the tests and the fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dbc::pageconv::plain {

struct Measured {
  std::int64_t linmax;
  std::int64_t pagmax;
};

// The longest line and the fullest page of a print, from where the passes begin.
Measured measure(std::string_view print);

// The document text that follows the header for a print, from where the passes begin.
std::string convert(std::string_view print);

}  // namespace dbc::pageconv::plain
