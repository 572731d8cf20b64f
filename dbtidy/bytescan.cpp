#include "dbtidy/bytescan.hpp"

namespace dbc::dbtidy {

std::size_t graphicRunScalar(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n && graphic(p[i])) ++i;
  return i;
}

std::size_t spaceRunScalar(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n && p[i] == ' ') ++i;
  return i;
}

std::size_t trimmedScalar(const char* p, std::size_t n) {
  while (n > 0 && p[n - 1] == ' ') --n;
  return n;
}

// A tab before "." is kept: those tabs line up the members of a record or list.
void convertTabsScalar(char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == '\t' && (i + 1 >= n || p[i + 1] != '.')) p[i] = ' ';
  }
}

LineCuts convertAndCutScalar(char* p, std::size_t n) {
  convertTabsScalar(p, n);
  return detail::cutByRuns<graphicRunScalar, spaceRunScalar, trimmedScalar>(p, n);
}

}  // namespace dbc::dbtidy
