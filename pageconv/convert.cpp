#include "pageconv/convert.hpp"

namespace pageconv {

namespace {

constexpr bool ends(unsigned char c) { return c == '\n' || c == '\r' || c == '\f'; }
constexpr bool escaped(unsigned char c) { return c == '{' || c == '}' || c == '\\'; }

}  // namespace

void Converter::writeLine() {
  const char* p = line_.data();
  std::size_t n = line_.size(), start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!escaped(static_cast<unsigned char>(p[i]))) continue;
    out_.append(p + start, i - start);
    out_ += '\\';
    start = i;
  }
  out_.append(p + start, n - start);
  out_ += '\n';
  line_.clear();
}

void Converter::feed(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    if (line_.empty() && !ovrflg_) out_ += "\\par ";
    if (!ovrflg_) {
      std::size_t j = i;
      while (j < n && !ends(static_cast<unsigned char>(p[j]))) ++j;
      line_.append(p + i, j - i);
      k_ = line_.size();
      i = j;
      if (i == n) break;
    }
    unsigned char c = static_cast<unsigned char>(p[i++]);
    switch (c) {
      case '\n':
        writeLine();
        k_ = 0;
        ovrflg_ = false;
        break;
      case '\r':
        k_ = 0;
        ovrflg_ = true;
        break;
      case '\f':
        // The page break replaces whatever the line held without a line feed; the form feed
        // itself opens the next line as text, so no paragraph mark comes before it.
        out_ += "\\page\n";
        line_.assign(1, '\f');
        k_ = 1;
        ovrflg_ = false;
        break;
      default:
        if (k_ >= line_.size()) {
          line_ += static_cast<char>(c);
        } else if (c != ' ') {
          line_[k_] = static_cast<char>(c);
        }
        ++k_;
        break;
    }
  }
}

void Converter::finish() {
  out_ += "}\n";
  line_.clear();
  k_ = 0;
  ovrflg_ = false;
}

}  // namespace pageconv
