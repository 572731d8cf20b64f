#include "pageconv/layout.hpp"

#include <algorithm>
#include <cstdio>

#include "pageconv/scan.hpp"

namespace pageconv {

std::size_t setupOffset(std::string_view first) {
  first = first.substr(0, kFirstBlock);
  if (first.empty() || first[0] != '\x1b') return 0;
  first = first.substr(0, first.find('\0'));
  std::size_t cr = first.find('\r');
  return cr == std::string_view::npos ? 0 : cr;
}

void Measure::feed(const char* p, std::size_t n) {
  std::int64_t linsiz = linsiz_;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t run = findLineEnd(p + i, n - i);
    linsiz += static_cast<std::int64_t>(run);
    i += run;
    if (i == n) break;
    unsigned char c = static_cast<unsigned char>(p[i]);
    linmax_ = std::max(linmax_, linsiz);
    if (c == '\f') {
      // A form feed ends the page but not the line: text after it adds to the same line.
      pagmax_ = std::max(pagmax_, pagsiz_);
      pagsiz_ = 0;
      continue;
    }
    linsiz = 0;
    if (c == '\n') ++pagsiz_;
  }
  linsiz_ = linsiz;
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
  return l;
}

std::string header(const Layout& l) {
  char buffer[1025];
  std::string h = "{\\rtf1\\ansi\\ansicpg1252\\uc1\\margl720\\margr360\\margt360\\margb360";
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

}  // namespace pageconv
