// The page layout of the RTF document: the longest line and the fullest page of the print file
// decide the orientation, the font size and the line spacing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pageconv/events.hpp"

namespace dbc::pageconv {

// The printer set-up string is looked for in this much of the start of the file.
inline constexpr std::size_t kFirstBlock = 1024;

// Where both passes begin: a file that starts with an escape has its set-up string skipped up
// to its first carriage return, line feed or form feed, which is then processed as usual.
// `first` is the start of the file (only kFirstBlock bytes of it are looked at, and only up to
// the first NUL).
std::size_t setupOffset(std::string_view first);

// The layout pass: line and page lengths as the bytes go by, in blocks of any size.
class Measure {
 public:
  explicit Measure(const Finders& finders = bestFinders()) : finders_(finders) {}
  void feed(const char* p, std::size_t n) { finders_.tally(p, n, tally_); }
  std::int64_t linmax() const { return std::max(tally_.linsiz, tally_.linmax); }
  // The lines after the last form feed are not a counted page.
  std::int64_t pagmax() const { return tally_.pagmax; }

 private:
  Finders finders_;
  Tally tally_;
};

struct Layout {
  int orient;  // 0 portrait, 1 landscape
  int fntsiz;  // half-points
  int linspc;  // twips, 0 for the font's own spacing
  int paperw;  // twips
  int paperh;
};

// The font size and orientation that fit the longest line across the page, and the line spacing
// (and if need be a smaller font) that fits the fullest page down it.
Layout chooseLayout(std::int64_t linmax, std::int64_t pagmax);

// The three header lines that open the document and its font table.
std::string header(const Layout& layout);

}  // namespace dbc::pageconv
