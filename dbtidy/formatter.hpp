// Formats one line of DB/C source at a time. The block depth, the pending continuation and the
// tab count of the last statement carry from line to line, so one Formatter serves one file.
#pragma once

#include <array>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbtidy/bytescan.hpp"
#include "dbtidy/classify.hpp"
#include "dbtidy/settings.hpp"

namespace dbc::dbtidy {

// Longest line that is ever written; anything a line would grow beyond this is cut while it is
// built, so deep indentation of a long line costs nothing and overruns nothing.
inline constexpr std::size_t kLineMax = 1000;

// 1 when `text` holds nothing but spaces (also when empty). Only the space counts as blank.
int nomore(std::string_view text);

class Formatter {
 public:
  // `report` receives the -V traces and the -KV removal reports.
  Formatter(const Settings& s, std::FILE* report) : s_(s), report_(report), cls_(s, report) {}

  // Formats `inputline` (its tabs are converted in place, as the history shows it) into
  // outline(), built at `out`. Returns 1 when the line is to be written, 0 when it was a removed
  // DEBUG statement. `linecnt` is the line's number, for the removal report. The line has
  // kSlack bytes of storage behind it, and `out` room for kLineMax + kSlack (see bytescan.hpp).
  int process(std::span<char> inputline, long long linecnt, char* out);
  // The same for a line anywhere, built in the formatter's own buffer.
  int process(std::string& inputline, long long linecnt);

  // Good until the next line is formatted.
  std::string_view outline() const { return {out_, outlen_}; }

  // The input lines before the current one, for the -KV report: oldest first.
  void remember(std::string_view line);

  int indepth = 0;
  bool cont = false;
  int lst_tab = 0;

 private:
  // A statement line cut into its parts; the verb itself goes to verb_.
  struct Statement {
    std::string_view label;
    std::string_view operands;
  };

  // Every line runs through these, so they are inline (defined in formatter.cpp, the only place
  // that calls them): one call per line costs as much as a phase does.
  inline void append(char c, long long count);
  inline void append(std::string_view text);
  inline void indent();

  // The phases of process, in the order it runs them.
  inline void continueStatement(std::string_view text);
  inline bool cutStatement(std::span<char> line, Statement& st);
  void reportRemoval(std::string_view line, long long linecnt);
  inline void depthBefore(BlockClass cls);
  inline void place(const Statement& st, BlockClass cls, Placement placement);
  inline void appendStatement(const Statement& st);
  inline void depthAfter(BlockClass cls);

  const Settings s_;
  std::FILE* report_;
  Classifier cls_;
  // The line is built at out_, cut at the limit as it is built.
  char* out_ = nullptr;
  std::size_t outlen_ = 0;
  std::vector<char> own_;  // the line and the output of process(std::string&), with their slack
  std::string_view verb_;  // in the input line
  std::array<std::string, 4> history_;  // line1 .. line4
};

}  // namespace dbc::dbtidy
