#include "pageconv/layout.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace dbc::pageconv {

std::size_t setupOffset(std::string_view first) {
  first = first.substr(0, kFirstBlock);
  if (first.empty() || first[0] != '\x1b') return 0;
  first = first.substr(0, first.find('\0'));
  // A set-up string ended by a line feed must not swallow the report up to its first return.
  std::size_t end = first.find_first_of("\r\n\f");
  return end == std::string_view::npos ? 0 : end;
}

Layout chooseLayout(std::int64_t linmax, std::int64_t pagmax) {
  Layout l{0, 24, 0, 12240, 15840};
  if (linmax >= 79) l.fntsiz = 20;
  if (linmax >= 90) {
    l = {1, 19, pagmax <= 55 ? 200 : 180, 15840, 12240};
    if (linmax >= 100) l.fntsiz = 18;
    if (linmax >= 135) l.fntsiz = 16;
    if (linmax >= 150) l.fntsiz = 15;
  }
  if (pagmax > 0) {
    // The document opens with an empty paragraph, so its first page holds one line more than
    // the print's. Automatic spacing is taken as 1.2 times the font size.
    const std::int64_t lines = pagmax + 1;
    const std::int64_t height = l.paperh - 720;  // between the top and bottom margins
    const std::int64_t spacing = l.linspc > 0 ? l.linspc : 12 * l.fntsiz;
    // Half a point is the least spacing, and font, a page of any length gets.
    if (lines * spacing > height) {
      l.linspc = static_cast<int>(std::max<std::int64_t>(10, height / lines));
    }
  }
  // The font never stands taller than its line, or the lines would overlap.
  if (l.linspc > 0 && l.linspc < 10 * l.fntsiz) l.fntsiz = l.linspc / 10;
  return l;
}

std::string header(const Layout& l) {
  char buffer[1025];
  std::string h = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\\margl720\\margr360\\margt360\\margb360";
  if (l.orient == 1) h += "\\landscape";
  std::snprintf(buffer, sizeof buffer, "\\paperw%i\\paperh%i", l.paperw, l.paperh);
  h += buffer;
  h += "{\\fonttbl\\f0\\fmodern\\fcharset0\\fprq1\n";
  h += "{\\*\\panose 02070309020205020404}Courier New;}\n";
  std::snprintf(buffer, sizeof buffer, "\\fs%i", l.fntsiz);
  h += buffer;
  if (l.linspc > 0) {
    std::snprintf(buffer, sizeof buffer, "\\sl-%i", l.linspc);
    h += buffer;
  }
  h += "\n";
  return h;
}

}  // namespace dbc::pageconv
