#include "pageconv/convert.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "pageconv/scan.hpp"

namespace dbc::pageconv {

namespace {

// Runs of an underlined line are moved 16 bytes at a time, reading and writing up to that far
// past their end; the line is padded with this much.
constexpr std::size_t kSlack = 64;
// Plain lines are written a run of this many bytes at a time, into room made for the most
// they can become.
constexpr std::size_t kRunBytes = 16384;

// Runs are short, most moved in one step.
inline char* copyRun(char* w, const char* from, std::size_t len) {
  std::memcpy(w, from, 16);
  for (std::size_t k = 16; k < len; k += 16) std::memcpy(w + k, from + k, 16);
  return w + len;
}

// What goes before a column: nothing, the end of an underlined stretch, or the start of one.
struct UnderlineMark {
  char text[8];
  std::size_t size;
};
constexpr UnderlineMark kUnderlineMarks[3] = {{"", 0}, {"}", 1}, {"{\\ul ", 5}};

// Bit j set when column 64 w + j of a line is underlined; `marks` holds 0 or 1 for each of the
// first `marked` columns, and those after them are not underlined.
std::uint64_t underlined(const char* marks, std::size_t marked, std::size_t w) {
  std::uint64_t bits = 0;
  for (std::size_t i = 64 * w, b = 0; b < 64 && i < marked; i += 8, b += 8) {
    if (marked - i >= 8) {
      bits |= gatherTops(loadWord(marks + i) << 7) << b;
    } else {
      for (std::size_t j = 0; i + j < marked; ++j)
        bits |= std::uint64_t(marks[i + j] & 1) << (b + j);
    }
  }
  return bits;
}

// The first line end at or after i, else n. Lines through the line buffer are few and far
// between, so the search goes from where it starts, eight bytes at a time.
std::size_t nextLineEnd(const char* p, std::size_t n, std::size_t i) {
  for (; n - i >= 8; i += 8) {
    if (const std::uint64_t ends = lineEndTops(loadWord(p + i))) return i + firstByte(ends);
  }
  while (i < n && !isLineEnd(static_cast<unsigned char>(p[i]))) ++i;
  return i;
}

}  // namespace

void Converter::writeText(const char* p, std::size_t n) {
  char* w = out_.room(4 * n + kLineSlack);
  // The line holds no line ends; were one there, it would be escaped like any control byte.
  for (const char* end = p + n; (p = finders_.line(w, p, end)) < end; ++p) {
    w = escape(w, static_cast<unsigned char>(*p));
  }
  out_.setEnd(w);
}

// A line with underlined columns changes between underlined and not every few columns: the
// changes are found as bits beside those of the bytes to escape, and the text between them is
// moved in runs. Written 4096 columns at a time into room for the most they can take: "{\ul " or
// "}" and a four-byte escape for each column, and the closing brace.
void Converter::writeUnderlined() {
  const std::size_t n = line_.size(), marked = std::min(ul_.size(), n);
  ulBits_.resize((n + 63) / 64);
  for (std::size_t word = 0; word < ulBits_.size(); ++word) {
    ulBits_[word] = underlined(ul_.data(), marked, word);
  }
  writeMarked();
  ul_.clear();
}

// The line buffer's text with the columns that ulBits_ flags underlined.
void Converter::writeMarked() {
  const std::size_t n = line_.size(), words = (n + 63) / 64;
  // Room to read past the end, so that every run is moved 64 bytes at a time.
  line_.append(kSlack, '\0');
  const char* text = line_.data();
  masks_.resize(words);
  finders_.escaped(text, n, masks_.data());
  std::uint64_t before = 0;  // the column before the word's first is underlined
  char* w = nullptr;
  for (std::size_t word = 0; word < words; ++word) {
    if (word % 64 == 0) w = out_.room(9 * 64 * 64 + 1 + kSlack);
    const std::size_t base = 64 * word, end = std::min(n, base + 64);
    const std::uint64_t ul = ulBits_[word];
    std::uint64_t changes = ul ^ ((ul << 1) | before);
    if (end - base < 64) changes &= (std::uint64_t{1} << (end - base)) - 1;
    before = ul >> 63;
    std::size_t from = base;
    for (std::uint64_t events = masks_[word] | changes; events != 0; events &= events - 1) {
      const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(events));
      w = copyRun(w, text + from, at - from);
      // Without branches: where the underline goes on or off is as much a matter of chance as
      // where a brace stands.
      const std::size_t mark = ((changes >> (at - base)) & 1) << ((ul >> (at - base)) & 1);
      std::memcpy(w, kUnderlineMarks[mark].text, 8);
      w += kUnderlineMarks[mark].size;
      w = escape(w, static_cast<unsigned char>(text[at]));
      from = at + 1;
    }
    w = copyRun(w, text + from, end - from);
    out_.setEnd(w);
  }
  if (n > 0 && (ulBits_[(n - 1) / 64] >> ((n - 1) % 64)) & 1) out_.push('}');
}

// A line printed over once from its start with underscores and blanks alone, and then ended by
// a line feed: by far the commonest overprint, a report's underlined headings and totals. It is
// written at once, its underlined columns found eight at a time, not column by column through
// the line buffer. The text is p[i..at), the underscores start at `over`; returns where the
// print goes on, or i for a line of another kind.
std::size_t Converter::underlinedLine(const char* p, std::size_t n, std::size_t i, std::size_t at,
                                      std::size_t over) {
  auto equal = [](std::uint64_t x, unsigned char v) { return ~(differs7(x, v) | x) & kByteTops; };
  std::size_t j = over;
  while (n - j >= 8 && (equal(loadWord(p + j), '_') | equal(loadWord(p + j), ' ')) == kByteTops) {
    j += 8;
  }
  while (j < n && (p[j] == '_' || p[j] == ' ')) ++j;
  std::size_t end = j;
  while (end < n && p[end] == '\r') ++end;
  if (end == n || p[end] != '\n' || j - over > kPlainMax) return i;
  const std::size_t text = at - i, marks = j - over, both = std::min(text, marks);
  line_.assign(p + i, text);
  if (marks > text) line_.append(p + over + text, marks - text);
  ulBits_.assign((line_.size() + 63) / 64, 0);
  char* line = line_.data();
  const char* x = p + over;
  std::size_t k = 0;
  for (; k + 8 <= both; k += 8) {
    const std::uint64_t o = loadWord(x + k), l = loadWord(line + k);
    // An underscore over a character underlines it, over a blank it is printed itself.
    const std::uint64_t ul = equal(o, '_') & ~equal(l, ' ');
    const std::uint64_t keep = ((equal(o, ' ') | ul) >> 7) * 0xFF;
    const std::uint64_t shown = (l & keep) | (o & ~keep);
    std::memcpy(line + k, &shown, 8);
    ulBits_[k / 64] |= gatherTops(ul) << (k % 64);
  }
  for (; k < both; ++k) {
    const bool ul = x[k] == '_' && line[k] != ' ';
    ulBits_[k / 64] |= std::uint64_t{ul} << (k % 64);
    if (x[k] == '_' && !ul) line[k] = '_';
  }
  writeMarked();
  out_.push('\n');
  line_.clear();
  open_ = false;
  tally_.linmax =
      std::max({tally_.linmax, static_cast<std::int64_t>(text), static_cast<std::int64_t>(marks)});
  ++tally_.pagsiz;
  return end + 1;
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
// later replaces it, as the ink is still there. Worked out eight columns at a time without
// branches on the bytes, as a line of underscores under a report's text meets a blank every few
// columns.
void Converter::overprint(const char* p, std::size_t n) {
  const std::size_t over = std::min(n, line_.size() - k_);
  char* line = line_.data() + k_;
  const bool underscores = std::memchr(p, '_', over) != nullptr;
  if (underscores && ul_.size() < line_.size()) ul_.resize(line_.size());
  char* mark = underscores ? ul_.data() + k_ : nullptr;
  auto equal = [](std::uint64_t x, unsigned char v) { return ~(differs7(x, v) | x) & kByteTops; };
  std::size_t i = 0;
  for (; i + 8 <= over; i += 8) {
    const std::uint64_t x = loadWord(p + i), l = loadWord(line + i);
    const std::uint64_t ul = equal(x, '_') & ~equal(l, ' ') & kByteTops;
    const std::uint64_t keep = ((equal(x, ' ') | ul) >> 7) * 0xFF;
    const std::uint64_t shown = (l & keep) | (x & ~keep);
    std::memcpy(line + i, &shown, 8);
    if (mark) {
      const std::uint64_t marks = loadWord(mark + i) | (ul >> 7);
      std::memcpy(mark + i, &marks, 8);
    }
  }
  for (; i < over; ++i) {
    bool ul = p[i] == '_' && line[i] != ' ';
    if (ul) mark[i] = 1;
    line[i] = (p[i] == ' ' || ul) ? line[i] : p[i];
  }
  line_.append(p + over, n - over);
  k_ += n;
}

// Lines from i on, their text written straight to the document while nothing in them is
// printed over (any carriage returns come right before the line feed or form feed), a run of
// them at a time. Stops at the first line that must go through the line buffer, having written
// nothing of it but its paragraph mark: one that is overprinted is put in the buffer up to its
// returns, and where they end is returned; one that runs past the end of p, or is too long to
// know its room, is left whole, and where it starts is returned.
std::size_t Converter::plainLines(const char* p, std::size_t n, std::size_t i) {
  for (;;) {
    std::size_t at = 0;
    i = runLines(p, n, i, at);
    if (i == n) return n;
    if (!open_) {
      out_.append("\\par ");
      open_ = true;
    }
    if (at == std::min(n, i + kPlainMax)) return i;
    // Printed over: the line goes on in the line buffer after its returns, unless it is only
    // underlined.
    std::size_t end = at;
    while (end < n && p[end] == '\r') ++end;
    if (const std::size_t next = underlinedLine(p, n, i, at, end); next != i) {
      i = next;
      continue;
    }
    tally_.linmax = std::max(tally_.linmax, static_cast<std::int64_t>(at - i));
    tally_.text = at > i;
    line_.assign(p + i, at - i);
    k_ = 0;
    ovrflg_ = true;
    return end;
  }
}

// The plain lines from i on, a run at a time; returns where the first line that is not plain
// starts, and sets `at` to where its text ends.
std::size_t Converter::runLines(const char* p, std::size_t n, std::size_t i, std::size_t& at) {
  LineRun run{p, n, i, nullptr, open_, 0, tally_.linmax, tally_.pagsiz, tally_.pagmax};
  for (;;) {
    const std::size_t until = std::min(n, run.i + kRunBytes);
    run.w = out_.room(runRoom(until - run.i));
    finders_.lines(run, until);
    out_.setEnd(run.w);
    if (run.i < until || run.i == n) break;
  }
  open_ = run.open;
  tally_.linmax = run.linmax;
  tally_.pagsiz = run.pagsiz;
  tally_.pagmax = run.pagmax;
  at = run.end;
  return run.i;
}

// The layout pass's count of the bytes i to j (a line end, or n) of a line through the line buffer.
void Converter::count(const char* p, std::size_t n, std::size_t i, std::size_t j) {
  Tally& t = tally_;
  t.linsiz += static_cast<std::int64_t>(j - i);
  t.text = t.text || j > i;
  if (j == n) return;
  t.linmax = std::max(t.linmax, t.linsiz);
  t.linsiz = 0;
  if (p[j] == '\r') return;  // the overprinted line is still the same line
  if (p[j] == '\n' || t.text) ++t.pagsiz;
  t.text = false;
  if (p[j] == '\f') {
    t.pagmax = std::max(t.pagmax, t.pagsiz);
    t.pagsiz = 0;
  }
}

// One run of bytes up to the next line end and that line end, through the line buffer.
std::size_t Converter::lineStep(const char* p, std::size_t n, std::size_t i) {
  if (!open_) {
    out_.append("\\par ");
    open_ = true;
  }
  const std::size_t j = nextLineEnd(p, n, i);
  count(p, n, i, j);
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
  std::size_t i = 0;
  while (i < n) {
    if (line_.empty() && !ovrflg_) i = plainLines(p, n, i);
    if (i < n) i = lineStep(p, n, i);
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
