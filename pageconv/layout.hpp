// The page layout of the RTF document: the longest line and the fullest page of the print file
// decide the orientation, the font size and the line spacing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pageconv {

// The printer set-up string is looked for in this much of the start of the file.
inline constexpr std::size_t kFirstBlock = 1024;

// Where both passes begin: a file that starts with an escape has its set-up string skipped up
// to its first carriage return. `first` is the start of the file (only kFirstBlock bytes of it
// are looked at, and only up to the first NUL).
std::size_t setupOffset(std::string_view first);

// The layout pass: line and page lengths as the bytes go by, in blocks of any size.
class Measure {
 public:
  void feed(const char* p, std::size_t n);
  std::int64_t linmax() const { return linmax_; }
  std::int64_t pagmax() const { return pagmax_; }

 private:
  std::int64_t linsiz_ = 0, linmax_ = 0;
  std::int64_t pagsiz_ = 0, pagmax_ = 0;
};

struct Layout {
  int orient;  // 0 portrait, 1 landscape
  int fntsiz;  // half-points
  int linspc;  // twips, 0 for the font's own spacing
  int paperw;  // twips
  int paperh;
};

Layout chooseLayout(std::int64_t linmax, std::int64_t pagmax);

// The three header lines that open the document and its font table.
std::string header(const Layout& layout);

}  // namespace pageconv
