#include "ixmark/collate.hpp"

#include <cstdlib>

namespace dbc::ixmark {

namespace {

// atoi's reading, with a flag for text that holds no number at all or one beyond a byte.
bool code(const std::string& s, int& out) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
  long v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && v <= 255) v = v * 10 + (s[i++] - '0');
  if (v > 255) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

Collate::Collate() {
  for (int i = 0; i < 256; ++i) coltab_[i] = i;
}

Collate::Collate(const std::string& collst) : Collate() {
  active_ = true;
  std::size_t start = 0;
  while (start <= collst.size()) {
    std::size_t end = collst.find(';', start);
    if (end == std::string::npos) end = collst.size();
    std::string entry = collst.substr(start, end - start);
    std::size_t colon = entry.find(':');
    int colchr1, colchr2;
    if (colon != std::string::npos && code(entry.substr(0, colon), colchr1) &&
        code(entry.substr(colon + 1), colchr2)) {
      ++colcnt_;
      coltab_[colchr1] = colchr2;
    }
    start = end + 1;
  }
}

}  // namespace dbc::ixmark
