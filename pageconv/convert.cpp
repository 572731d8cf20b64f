#include "pageconv/convert.hpp"

#include "pageconv/scan.hpp"

namespace pageconv {

void Converter::writeText(const char* p, std::size_t n) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::size_t done = 0;
  while (done < n) {
    std::size_t run = findEscaped(p + done, n - done);
    out_.append(p + done, run);
    done += run;
    if (done == n) break;
    unsigned char c = static_cast<unsigned char>(p[done++]);
    if (isRtfSpecial(c)) {
      out_ += '\\';
      out_ += static_cast<char>(c);
    } else {
      const char hex[] = {'\\', '\'', kHex[c >> 4], kHex[c & 15]};
      out_.append(hex, sizeof hex);
    }
  }
}

void Converter::writeLine() {
  if (ul_.empty()) {
    writeText(line_.data(), line_.size());
  } else {
    auto underlined = [&](std::size_t i) { return i < ul_.size() && ul_[i]; };
    for (std::size_t i = 0, j; i < line_.size(); i = j) {
      bool ul = underlined(i);
      for (j = i + 1; j < line_.size() && underlined(j) == ul;) ++j;
      if (ul) out_ += "{\\ul ";
      writeText(line_.data() + i, j - i);
      if (ul) out_ += '}';
    }
    ul_.clear();
  }
  out_ += '\n';
  line_.clear();
}

void Converter::endLine() {
  writeLine();
  k_ = 0;
  ovrflg_ = false;
  open_ = false;
}

// An underscore over a printed character is how a print underlines it: the character stays and
// is underlined, and stays underlined if something later replaces it, as the ink is still there.
void Converter::overprint(char c) {
  if (k_ >= line_.size()) {
    line_ += c;
  } else if (c == '_' && line_[k_] != ' ') {
    if (ul_.size() <= k_) ul_.resize(line_.size());
    ul_[k_] = 1;
  } else if (c != ' ') {
    line_[k_] = c;
  }
  ++k_;
}

void Converter::feed(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    if (!open_) {
      out_ += "\\par ";
      open_ = true;
    }
    if (!ovrflg_) {
      std::size_t j = i + findLineEnd(p + i, n - i);
      line_.append(p + i, j - i);
      k_ = line_.size();
      i = j;
      if (i == n) break;
    }
    char c = p[i++];
    switch (c) {
      case '\n':
        endLine();
        break;
      case '\r':
        k_ = 0;
        ovrflg_ = true;
        break;
      case '\f':
        // Text that no line feed ended was printed all the same: it ends as a line of its own.
        if (!line_.empty()) {
          endLine();
          out_ += "\\par ";
        }
        out_ += "\\page\n";
        // The page break opens the next line: no paragraph mark comes before its text.
        k_ = 0;
        ovrflg_ = false;
        open_ = true;
        break;
      default:
        overprint(c);
        break;
    }
  }
}

void Converter::finish() {
  if (!line_.empty()) writeLine();
  out_ += "}\n";
  k_ = 0;
  ovrflg_ = false;
  open_ = false;
}

}  // namespace pageconv
