// What a statement's verb means for the layout: whether it opens, divides or closes a block,
// whether its label stays beside it, whether it ends a list, whether it is a DEBUG statement.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "dbtidy/settings.hpp"

namespace dbc::dbtidy {

// Block classes (verbswt), in the numbers the -V trace shows.
enum class BlockClass : int {
  kOrdinary = 0,
  kOpens = 1,
  kCloses = 2,
  kDivides = 3,
  kOpensSwitch = 4,
  kClosesSwitch = 5,
  kListEnd = 6,
  kDebug = 7,
};

// Label placements (splitswt), in the numbers the -V trace shows.
enum class Placement : int {
  kSplitLabel = 0,    // label alone on its line, statement below
  kDataColumn = 1,    // verb moved to ntabs x tabstop
  kFirstTabStop = 2,  // verb moved to the first tab stop
};

class Classifier {
 public:
  // `trace` receives the -V line of every verb.
  Classifier(const Settings& s, std::FILE* trace) : s_(s), trace_(trace) {}

  // Looks at the verb word alone (no operands); sets xverb, verbswt and splitswt.
  void evalverb(std::string_view verb);

  std::string xverb;
  BlockClass verbswt = BlockClass::kOrdinary;
  Placement splitswt = Placement::kSplitLabel;

 private:
  const Settings s_;
  std::FILE* trace_;
};

}  // namespace dbc::dbtidy
