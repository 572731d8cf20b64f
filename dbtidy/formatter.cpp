#include "dbtidy/formatter.hpp"

#include <algorithm>
#include <climits>
#include <cstring>

namespace dbc::dbtidy {

namespace {

// Comment lines ("*"), "+" and "." lines and empty lines are copied as they stand, and leave the
// depth and a pending continuation alone: a continuation carries over them.
bool keptVerbatim(std::span<const char> line) {
  return line.empty() || line[0] == '*' || line[0] == '+' || line[0] == '.';
}

std::size_t skipSpaces(std::string_view text, std::size_t pos) {
  return pos + spaceRun(text.data() + pos, text.size() - pos);
}

// `text` without its trailing spaces.
std::string_view trimEnd(std::string_view text) {
  return text.substr(0, trimmed(text.data(), text.size()));
}

}  // namespace

int nomore(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos ? 1 : 0;
}

void Formatter::append(char c, long long count) {
  long long room = static_cast<long long>(kLineMax - outlen_);
  if (count > room) count = room;
  if (count <= 0) return;
  fillGroups(out_ + outlen_, c, static_cast<std::size_t>(count));
  outlen_ += static_cast<std::size_t>(count);
}

void Formatter::append(std::string_view text) {
  const std::size_t room = outlen_ < kLineMax ? kLineMax - outlen_ : 0;
  const std::size_t n = std::min(text.size(), room);
  copyGroups(out_ + outlen_, text.data(), n);
  outlen_ += n;
}

// One tab, then the depth: a level is one more tab when a tab stop is a level wide.
void Formatter::indent() {
  if (s_.ininc == s_.tabstop) {
    append(s_.tab, static_cast<long long>(indepth) + 1);
  } else {
    append(s_.tab, 1);
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

// Its tabs converted, then its label (appended to the line at once), verb and operands. False when
// nothing but blanks follows the label: the line is then the label alone, its trailing blanks gone.
bool Formatter::cutStatement(std::span<char> line, Statement& st) {
  const LineCuts c = convertAndCut(line.data(), line.size());
  const std::string_view text(line.data(), line.size());
  st.label = text.substr(0, c.label);
  append(st.label);
  if (c.verb == text.size()) return false;
  verb_ = text.substr(c.verb, c.verbEnd - c.verb);
  // Empty operands are still a view into the line: the copies read whole groups from them.
  st.operands = text.substr(c.ops, c.opsEnd - c.ops);
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

// How a class moves the depth before and after its line, by class number. A closing or dividing
// line is written one level out; closing more blocks than were opened leaves the depth at 0.
constexpr int kDepthBefore[] = {0, 0, -1, -1, 0, -2, 0, 0};
constexpr int kDepthAfter[] = {0, 1, 0, 1, 2, 0, 0, 0};

void Formatter::depthBefore(BlockClass cls) {
  indepth = std::max(0, indepth + kDepthBefore[static_cast<int>(cls)]);
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
    indent();
  } else if (!labelled) {
    lst_tab = indepth + 1;
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
  // The separator is stored always and counted only before operands: whether a line has them
  // varies from line to line, and a branch on it would be mispredicted as often.
  if (outlen_ < kLineMax) {
    out_[outlen_] = s_.spcswt ? s_.spc : s_.tab;
    outlen_ += !st.operands.empty();
  }
  append(st.operands);
  // The verb or the operands end the line; a verb is never empty unless operands follow. The
  // part of the line cut at the limit still decides the continuation.
  std::string_view last = st.operands.empty() ? verb_ : st.operands;
  cont = !last.empty() && last.back() == ':';
}

void Formatter::depthAfter(BlockClass cls) {
  // Held below the int range: a file of billions of unclosed blocks must not wrap to 0.
  if (indepth < INT_MAX - 2) indepth += kDepthAfter[static_cast<int>(cls)];
}

int Formatter::process(std::string& line, long long linecnt) {
  // The line and the output are given the slack that the byte scans reach into.
  own_.resize(line.size() + kSlack + kLineMax + kSlack);
  std::copy(line.begin(), line.end(), own_.begin());
  std::span<char> copy(own_.data(), line.size());
  int rc = process(copy, linecnt, own_.data() + line.size() + kSlack);
  std::copy(copy.begin(), copy.end(), line.begin());
  return rc;
}

int Formatter::process(std::span<char> line, long long linecnt, char* out) {
  out_ = out;
  outlen_ = 0;
  std::string_view text(line.data(), line.size());
  if (keptVerbatim(line)) {
    append(text);
    return 1;
  }
  if (cont) {
    convertTabs(line.data(), line.size());
    continueStatement(text);
    return 1;
  }
  Statement st;
  if (!cutStatement(line, st)) return 1;

  cls_.evalverbInLine(verb_);
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
