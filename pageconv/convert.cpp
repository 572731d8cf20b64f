#include "pageconv/convert.hpp"

#include "pageconv/scan.hpp"

namespace pageconv {

void Converter::writeLine() {
  const char* p = line_.data();
  std::size_t n = line_.size(), done = 0;
  while (done < n) {
    std::size_t run = findEscaped(p + done, n - done);
    out_.append(p + done, run);
    done += run;
    if (done == n) break;
    out_ += '\\';
    out_ += p[done++];
  }
  out_ += '\n';
  line_.clear();
}

void Converter::feed(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    if (line_.empty() && !ovrflg_) out_ += "\\par ";
    if (!ovrflg_) {
      std::size_t j = i + findLineEnd(p + i, n - i);
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
