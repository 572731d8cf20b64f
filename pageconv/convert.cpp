#include "pageconv/convert.hpp"

#include <algorithm>
#include <cstring>

#include "pageconv/scan.hpp"

namespace dbc::pageconv {

namespace {

// Writes the escape of a byte that isEscaped, at most four bytes, and returns where it ends.
char* escape(char* w, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  *w++ = '\\';
  if (isRtfSpecial(c)) {
    *w++ = static_cast<char>(c);
  } else {
    *w++ = '\'';
    *w++ = kHex[c >> 4];
    *w++ = kHex[c & 15];
  }
  return w;
}

}  // namespace

void Converter::writeText(const char* p, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    std::size_t run = findEscaped(p + done, n - done);
    out_.append(p + done, run);
    done += run;
    if (done == n) break;
    char buffer[4];
    out_.append(buffer, escape(buffer, static_cast<unsigned char>(p[done++])) - buffer);
  }
}

// A line with underlined columns may change between underlined and not every few columns, so it
// is written byte by byte, a piece at a time into room made for the most the piece can take:
// "{\ul " or "}" and a four-byte escape for each column, the closing brace, and the slack that
// lets the group marks be stored whether they are needed or not (the next byte overwrites them),
// which spares a hard-to-predict branch at every change.
void Converter::writeUnderlined() {
  constexpr std::size_t kPiece = 4096, kSlack = 8;
  const std::size_t n = line_.size(), marked = std::min(ul_.size(), n);
  const char* text = line_.data();
  const char* marks = ul_.data();
  bool in = false;
  for (std::size_t from = 0; from < n; from += kPiece) {
    const std::size_t to = std::min(n, from + kPiece), start = out_.size();
    out_.resize(start + 9 * (to - from) + 1 + kSlack);
    char* w = out_.data() + start;
    for (std::size_t i = from; i < to; ++i) {
      bool ul = i < marked && marks[i];
      *w = '}';
      w += in && !ul;
      std::memcpy(w, "{\\ul ", 5);
      w += 5 * (ul && !in);
      in = ul;
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (isEscaped(c)) {
        w = escape(w, c);
      } else {
        *w++ = static_cast<char>(c);
      }
    }
    if (in && to == n) *w++ = '}';
    out_.resize(static_cast<std::size_t>(w - out_.data()));
  }
  ul_.clear();
}

void Converter::writeLine() {
  if (ul_.empty()) {
    writeText(line_.data(), line_.size());
  } else {
    writeUnderlined();
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

// Bytes printed over the line from column k_ on. An underscore over a printed character is how a
// print underlines it: the character stays and is underlined, and stays underlined if something
// later replaces it, as the ink is still there. Written without branches on the bytes, as a
// line of underscores under a report's text meets a blank every few columns.
void Converter::overprint(const char* p, std::size_t n) {
  const std::size_t over = std::min(n, line_.size() - k_);
  char* line = line_.data() + k_;
  if (std::memchr(p, '_', over)) {
    if (ul_.size() < line_.size()) ul_.resize(line_.size());
    char* mark = ul_.data() + k_;
    for (std::size_t i = 0; i < over; ++i) {
      bool ul = p[i] == '_' && line[i] != ' ';
      mark[i] |= ul;
      line[i] = (p[i] == ' ' || ul) ? line[i] : p[i];
    }
  } else {
    for (std::size_t i = 0; i < over; ++i) line[i] = p[i] == ' ' ? line[i] : p[i];
  }
  line_.append(p + over, n - over);
  k_ += n;
}

void Converter::feed(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    if (!open_) {
      out_ += "\\par ";
      open_ = true;
    }
    std::size_t j = i + findLineEnd(p + i, n - i);
    if (ovrflg_) {
      if (j > i) overprint(p + i, j - i);
    } else {
      line_.append(p + i, j - i);
      k_ = line_.size();
    }
    i = j;
    if (i == n) break;
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

}  // namespace dbc::pageconv
