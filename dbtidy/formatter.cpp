#include "dbtidy/formatter.hpp"

#include <algorithm>
#include <climits>

namespace dbtidy {

namespace {

bool graphic(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x21 && u <= 0x7E;
}

}  // namespace

int nomore(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos ? 1 : 0;
}

void Formatter::append(char c, long long count) {
  long long room = static_cast<long long>(kLineMax) - static_cast<long long>(outline_.size());
  if (count > room) count = room;
  if (count > 0) outline_.append(static_cast<std::size_t>(count), c);
}

void Formatter::append(std::string_view text) {
  std::size_t room = kLineMax - std::min(kLineMax, outline_.size());
  outline_.append(text.substr(0, room));
}

void Formatter::indent() {
  if (s_.ininc == s_.tabstop) {
    append(s_.tab, indepth);
  } else {
    append(s_.spc, static_cast<long long>(indepth) * s_.ininc);
  }
}

void Formatter::remember(const std::string& line) {
  std::rotate(history_.begin(), history_.begin() + 1, history_.end());
  history_.back() = line;
}

int Formatter::process(std::string& line, long long linecnt) {
  outline_.clear();
  if (line.empty() || line[0] == '*' || line[0] == '+' || line[0] == '.') {
    append(line);
    return 1;
  }

  // A tab before "." is kept: those tabs line up the members of a record or list.
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\t' && (i + 1 >= line.size() || line[i + 1] != '.')) line[i] = ' ';
  }
  std::string_view text = line;

  if (cont == 1) {
    cont = 0;
    append(s_.tab, static_cast<long long>(lst_tab) + 1);
    std::size_t start = text.find_first_not_of(' ');
    if (start != std::string_view::npos) {
      std::string_view rest = text.substr(start);
      append(rest);
      cont = rest[rest.find_last_not_of(' ')] == ':' ? 1 : 0;
    }
    return 1;
  }

  std::size_t pos = 0;
  while (pos < text.size() && graphic(text[pos])) ++pos;
  std::string_view label = text.substr(0, pos);
  append(label);
  if (nomore(text.substr(pos))) return 1;

  while (pos < text.size() && text[pos] == ' ') ++pos;
  std::size_t verbStart = pos;
  while (pos < text.size() && graphic(text[pos])) ++pos;
  verb_.assign(text.substr(verbStart, pos - verbStart));

  std::string_view operands;
  std::size_t opStart = text.find_first_not_of(' ', pos);
  if (opStart != std::string_view::npos) {
    operands = text.substr(opStart);
    operands = operands.substr(0, operands.find_last_not_of(' ') + 1);
  }

  cls_.evalverb(verb_);
  const int cls = cls_.verbswt;
  const int placement = cls_.splitswt;

  if (s_.kill_dbg != 0 && cls == kDebug) {
    if (s_.kill_dbg == 2) {
      std::fprintf(report_, "------\n");
      std::fprintf(report_, "Debug removed @ line %lli\n", linecnt);
      for (const std::string& h : history_) {
        if (!h.empty()) std::fprintf(report_, "%s\n", h.c_str());
      }
      std::fprintf(report_, "%s\n", line.c_str());
    }
    outline_.clear();
    return 0;
  }

  if (cls == kCloses || cls == kDivides) indepth -= 1;
  if (cls == kClosesSwitch) indepth -= 2;
  if (indepth < 0) indepth = 0;

  const bool labelled = !label.empty();
  if (cls == kListEnd) {
    append(s_.tab, s_.ntabs);
  } else if (labelled && placement == kSplitLabel) {
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
                       (placement == kDataColumn ? static_cast<long long>(s_.ntabs) : 1);
    long long length = static_cast<long long>(label.size());
    if (length >= column) {
      append(s_.spc, 1);
    } else {
      append(s_.tab, (column - length + s_.tabstop - 1) / s_.tabstop);
    }
  }

  append(verb_);
  if (!operands.empty()) {
    append(s_.spcswt ? s_.spc : s_.tab, 1);
    append(operands);
  }
  // The verb or the operands end the line; a verb is never empty unless operands follow.
  std::string_view last = operands.empty() ? std::string_view(verb_) : operands;
  cont = !last.empty() && last.back() == ':' ? 1 : 0;

  // Held below the int range: a file of billions of unclosed blocks must not wrap to 0.
  if (indepth < INT_MAX - 2) {
    if (cls == kOpens || cls == kDivides) indepth += 1;
    if (cls == kOpensSwitch) indepth += 2;
  }
  return 1;
}

}  // namespace dbtidy
