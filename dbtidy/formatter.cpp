#include "dbtidy/formatter.hpp"

#include <algorithm>
#include <climits>
#include <cstring>

namespace dbc::dbtidy {

namespace {

bool graphic(char c) { return static_cast<unsigned char>(c) - 0x21u < 0x7Fu - 0x21u; }

// Comment lines ("*"), "+" and "." lines and empty lines are copied as they stand, and leave the
// depth and a pending continuation alone: a continuation carries over them.
bool keptVerbatim(std::span<const char> line) {
  return line.empty() || line[0] == '*' || line[0] == '+' || line[0] == '.';
}

// A tab before "." is kept: those tabs line up the members of a record or list. Every other tab
// becomes one space, in the line itself, so the -KV report and history show it converted.
void convertTabs(std::span<char> line) {
  char* p = line.data();
  char* const end = p + line.size();
  while ((p = static_cast<char*>(std::memchr(p, '\t', static_cast<std::size_t>(end - p))))) {
    if (p + 1 == end || p[1] != '.') *p = ' ';
    ++p;
  }
}

std::size_t skipSpaces(std::string_view text, std::size_t pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  return pos;
}

std::size_t skipGraphic(std::string_view text, std::size_t pos) {
  while (pos < text.size() && graphic(text[pos])) ++pos;
  return pos;
}

// `text` without its trailing spaces; `text` holds something else.
std::string_view trimEnd(std::string_view text) {
  std::size_t end = text.size();
  while (text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

}  // namespace

int nomore(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos ? 1 : 0;
}

void Formatter::append(char c, long long count) {
  long long room = static_cast<long long>(kLineMax - outlen_);
  if (count > room) count = room;
  if (count <= 0) return;
  std::memset(outline_.data() + outlen_, c, static_cast<std::size_t>(count));
  outlen_ += static_cast<std::size_t>(count);
}

void Formatter::append(std::string_view text) {
  std::size_t n = std::min(text.size(), kLineMax - outlen_);
  if (n == 0) return;
  std::memcpy(outline_.data() + outlen_, text.data(), n);
  outlen_ += n;
}

void Formatter::indent() {
  if (s_.ininc == s_.tabstop) {
    append(s_.tab, indepth);
  } else {
    append(s_.spc, static_cast<long long>(indepth) * s_.ininc);
  }
}

void Formatter::remember(std::string_view line) {
  std::rotate(history_.begin(), history_.begin() + 1, history_.end());
  history_.back() = line;
}

// A line after one that ended with ":" is never classified, never moves the depth and is never
// removed as DEBUG: it is the same statement, one tab further in than its start.
void Formatter::continueStatement(std::string_view text) {
  cont = false;
  append(s_.tab, static_cast<long long>(lst_tab) + 1);
  std::size_t start = skipSpaces(text, 0);
  if (start == text.size()) return;
  std::string_view rest = text.substr(start);
  append(rest);
  cont = trimEnd(rest).back() == ':';
}

// Label (appended to the line at once), verb and operands. False when nothing but blanks follows
// the label: the line is then the label alone, its trailing blanks gone.
bool Formatter::cutStatement(std::string_view text, Statement& st) {
  std::size_t pos = skipGraphic(text, 0);
  st.label = text.substr(0, pos);
  append(st.label);
  pos = skipSpaces(text, pos);
  if (pos == text.size()) return false;

  std::size_t verbStart = pos;
  pos = skipGraphic(text, pos);
  verb_ = text.substr(verbStart, pos - verbStart);

  st.operands = {};
  std::size_t opStart = skipSpaces(text, pos);
  if (opStart != text.size()) st.operands = trimEnd(text.substr(opStart));
  return true;
}

void Formatter::reportRemoval(std::string_view line, long long linecnt) {
  std::fprintf(report_, "------\n");
  std::fprintf(report_, "Debug removed @ line %lli\n", linecnt);
  for (const std::string& h : history_) {
    if (!h.empty()) std::fprintf(report_, "%s\n", h.c_str());
  }
  std::fprintf(report_, "%.*s\n", static_cast<int>(line.size()), line.data());
}

// A closing or dividing line is written one level out; closing more blocks than were opened
// leaves the depth at 0.
void Formatter::depthBefore(BlockClass cls) {
  if (cls == BlockClass::kCloses || cls == BlockClass::kDivides) indepth -= 1;
  if (cls == BlockClass::kClosesSwitch) indepth -= 2;
  if (indepth < 0) indepth = 0;
}

// What stands before the verb. A label kept beside its statement puts the verb at a tab stop, not
// at the depth: declarations and routine heads line up whatever block they are in.
void Formatter::place(const Statement& st, BlockClass cls, Placement placement) {
  const bool labelled = !st.label.empty();
  if (cls == BlockClass::kListEnd) {
    append(s_.tab, s_.ntabs);
  } else if (labelled && placement == Placement::kSplitLabel) {
    lst_tab = indepth + 1;
    append('\n', 1);
    append(s_.tab, 1);
    indent();
  } else if (!labelled) {
    lst_tab = indepth + 1;
    append(s_.tab, 1);
    indent();
  } else {
    lst_tab = s_.ntabs;
    long long column = static_cast<long long>(s_.tabstop) *
                       (placement == Placement::kDataColumn ? static_cast<long long>(s_.ntabs) : 1);
    long long length = static_cast<long long>(st.label.size());
    if (length >= column) {
      append(s_.spc, 1);
    } else {
      append(s_.tab, (column - length + s_.tabstop - 1) / s_.tabstop);
    }
  }
}

void Formatter::appendStatement(const Statement& st) {
  append(verb_);
  if (!st.operands.empty()) {
    append(s_.spcswt ? s_.spc : s_.tab, 1);
    append(st.operands);
  }
  // The verb or the operands end the line; a verb is never empty unless operands follow. The
  // part of the line cut at the limit still decides the continuation.
  std::string_view last = st.operands.empty() ? verb_ : st.operands;
  cont = !last.empty() && last.back() == ':';
}

void Formatter::depthAfter(BlockClass cls) {
  // Held below the int range: a file of billions of unclosed blocks must not wrap to 0.
  if (indepth >= INT_MAX - 2) return;
  if (cls == BlockClass::kOpens || cls == BlockClass::kDivides) indepth += 1;
  if (cls == BlockClass::kOpensSwitch) indepth += 2;
}

int Formatter::process(std::span<char> line, long long linecnt) {
  outlen_ = 0;
  std::string_view text(line.data(), line.size());
  if (keptVerbatim(line)) {
    append(text);
    return 1;
  }
  convertTabs(line);
  if (cont) {
    continueStatement(text);
    return 1;
  }
  Statement st;
  if (!cutStatement(text, st)) return 1;

  cls_.evalverb(verb_);
  const BlockClass cls = cls_.verbswt;
  // A removed DEBUG statement takes its label with it and leaves the depth and continuation as
  // they were; a continuation line of it is then formatted as a statement of its own.
  if (s_.kill_dbg != KillDebug::kKeep && cls == BlockClass::kDebug) {
    if (s_.kill_dbg == KillDebug::kReport) reportRemoval(text, linecnt);
    outlen_ = 0;
    return 0;
  }
  depthBefore(cls);
  place(st, cls, cls_.splitswt);
  appendStatement(st);
  depthAfter(cls);
  return 1;
}

}  // namespace dbc::dbtidy
