#include "pageconv/convert.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "pageconv/scan.hpp"

namespace dbc::pageconv {

namespace {

// Runs of plain text are moved 32 bytes at a time, and may write that far past their end.
constexpr std::size_t kSlack = 32;
// Lines longer than this go through the line buffer, so that the room a line may need is known
// before it is written: four bytes for each byte escaped, the line's end and a page break.
constexpr std::size_t kPlainMax = 4096;
constexpr std::size_t kLineRoom = 4 * kPlainMax + 16 + kSlack;

// What each byte becomes in the document, at most four bytes.
struct Escape {
  char text[4];
  unsigned char size;
};

constexpr std::array<Escape, 256> makeEscapes() {
  std::array<Escape, 256> t{};
  constexpr char kHex[] = "0123456789abcdef";
  for (unsigned v = 0; v < 256; ++v) {
    const unsigned char c = static_cast<unsigned char>(v);
    Escape& e = t[v];
    if (!isEscaped(c)) {
      e = {{static_cast<char>(c)}, 1};
    } else if (isRtfSpecial(c)) {
      e = {{'\\', static_cast<char>(c)}, 2};
    } else {
      e = {{'\\', '\'', kHex[c >> 4], kHex[c & 15]}, 4};
    }
  }
  return t;
}

constexpr std::array<Escape, 256> kEscapes = makeEscapes();

inline char* escape(char* w, unsigned char c) {
  std::memcpy(w, kEscapes[c].text, 4);
  return w + kEscapes[c].size;
}

// `avail` bytes may be read from `from`; a short run is moved in one fixed-size copy.
inline char* copyRun(char* w, const char* from, std::size_t len, std::size_t avail) {
  if (len <= kSlack && avail >= kSlack) {
    std::memcpy(w, from, kSlack);
  } else {
    std::memcpy(w, from, len);
  }
  return w + len;
}

// p[0..n) escaped into room for 4 n + kSlack bytes; returns where the text ends.
char* escapeText(char* w, const char* p, std::size_t n, MaskFinder find) {
  Events events(p, n, find);
  for (std::size_t i = 0;;) {
    std::size_t at = events.next(i);
    w = copyRun(w, p + i, at - i, n - i);
    if (at == n) return w;
    w = escape(w, static_cast<unsigned char>(p[at]));
    i = at + 1;
  }
}

}  // namespace

void Converter::writeText(const char* p, std::size_t n) {
  out_.setEnd(escapeText(out_.room(4 * n + kSlack), p, n, finders_.escaped));
}

// A line with underlined columns may change between underlined and not every few columns, so it
// is written byte by byte, a piece at a time into room made for the most the piece can take:
// "{\ul " or "}" and a four-byte escape for each column, the closing brace, and the slack that
// lets the group marks be stored whether they are needed or not (the next byte overwrites them),
// which spares a hard-to-predict branch at every change.
void Converter::writeUnderlined() {
  constexpr std::size_t kPiece = 4096;
  const std::size_t n = line_.size(), marked = std::min(ul_.size(), n);
  const char* text = line_.data();
  const char* marks = ul_.data();
  bool in = false;
  for (std::size_t from = 0; from < n; from += kPiece) {
    const std::size_t to = std::min(n, from + kPiece);
    char* w = out_.room(9 * (to - from) + 1 + kSlack);
    for (std::size_t i = from; i < to; ++i) {
      bool ul = i < marked && marks[i];
      *w = '}';
      w += in && !ul;
      std::memcpy(w, "{\\ul ", 5);
      w += 5 * (ul && !in);
      in = ul;
      w = escape(w, static_cast<unsigned char>(text[i]));
    }
    if (in && to == n) *w++ = '}';
    out_.setEnd(w);
  }
  ul_.clear();
}

void Converter::writeLine() {
  if (ul_.empty()) {
    writeText(line_.data(), line_.size());
  } else {
    writeUnderlined();
  }
  out_.push('\n');
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

// A line that starts at i, its text written straight to the document when nothing in it is
// printed over (any carriage returns come right before its line feed or form feed). Returns
// where the next line starts; or i, having written nothing of the line but its paragraph mark,
// when the line must go through the line buffer: it is overprinted, runs past the end of p, or
// is too long to know its room.
std::size_t Converter::plainLine(const char* p, std::size_t n, std::size_t i, Events& events) {
  char* w = out_.room(kLineRoom);
  if (!open_) {
    std::memcpy(w, "\\par ", 5);
    w += 5;
    open_ = true;
    out_.setEnd(w);
  }
  for (std::size_t from = i;;) {
    std::size_t at = events.next(from);
    if (at == n || at - i > kPlainMax) return i;
    w = copyRun(w, p + from, at - from, n - from);
    unsigned char c = static_cast<unsigned char>(p[at]);
    if (!isLineEnd(c)) {
      w = escape(w, c);
      from = at + 1;
      continue;
    }
    std::size_t end = at;
    while (end < n && p[end] == '\r') ++end;
    if (end == n || (p[end] != '\n' && p[end] != '\f')) return i;
    if (p[end] == '\n') {
      *w++ = '\n';
      open_ = false;
    } else {
      // Text that no line feed ended was printed all the same: it ends as a line of its own,
      // and the page break opens the next line.
      if (at > i) w = static_cast<char*>(std::memcpy(w, "\n\\par ", 6)) + 6;
      w = static_cast<char*>(std::memcpy(w, "\\page\n", 6)) + 6;
    }
    out_.setEnd(w);
    return end + 1;
  }
}

// One run of bytes up to the next line end and that line end, through the line buffer.
std::size_t Converter::lineStep(const char* p, std::size_t n, std::size_t i) {
  if (!open_) {
    out_.append("\\par ");
    open_ = true;
  }
  std::size_t j = i + findLineEnd(p + i, n - i);
  if (ovrflg_) {
    if (j > i) overprint(p + i, j - i);
  } else {
    line_.append(p + i, j - i);
    k_ = line_.size();
  }
  if (j == n) return n;
  switch (p[j]) {
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
        out_.append("\\par ");
      }
      out_.append("\\page\n");
      // The page break opens the next line: no paragraph mark comes before its text.
      k_ = 0;
      ovrflg_ = false;
      open_ = true;
      break;
  }
  return j + 1;
}

void Converter::feed(const char* p, std::size_t n) {
  Events events(p, n, finders_.escaped);
  std::size_t i = 0;
  while (i < n) {
    if (line_.empty() && !ovrflg_) {
      std::size_t next = plainLine(p, n, i, events);
      if (next != i) {
        i = next;
        continue;
      }
    }
    i = lineStep(p, n, i);
  }
}

void Converter::finish() {
  if (!line_.empty()) writeLine();
  out_.append("}\n");
  k_ = 0;
  ovrflg_ = false;
  open_ = false;
}

}  // namespace dbc::pageconv
