// What a statement's verb means for the layout: whether it opens, divides or closes a block,
// whether its label stays beside it, whether it ends a list, whether it is a DEBUG statement.
#pragma once

#include <array>
#include <cstdint>
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

struct VerbClass {
  BlockClass cls = BlockClass::kOrdinary;
  Placement placement = Placement::kSplitLabel;
  bool operator==(const VerbClass&) const = default;
};

// The verb tables read word by word, as they stand. Every source line asks the classifier, so it
// looks words up by hash instead; this is what that look-up must always agree with.
VerbClass plainClass(std::string_view verb, const Settings& s);

// `verb` in upper case (only a to z change).
std::string upperCase(std::string_view verb);

class Classifier {
 public:
  // `trace` receives the -V line of every verb.
  Classifier(const Settings& s, std::FILE* trace);

  // Looks at the verb word alone (no operands); sets verbswt and splitswt.
  void evalverb(std::string_view verb) {
    VerbClass v = lookup(verb);
    verbswt = v.cls;
    splitswt = v.placement;
    last_ = verb;
    if (verbose_) trace();
  }

  // The class and placement of `verb` under this run's settings.
  VerbClass lookup(std::string_view verb) const;

  // The last verb in upper case, as the trace shows it; valid while that verb's text is.
  std::string xverb() const { return upperCase(last_); }

  BlockClass verbswt = BlockClass::kOrdinary;
  Placement splitswt = Placement::kSplitLabel;

 private:
  // A word of the tables, packed into two words of up to 8 bytes each, upper case, zero-padded;
  // its length tells "DIM" from "DIM" followed by a zero byte.
  struct Slot {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    std::size_t len = 0;  // 0: empty slot
    VerbClass v;
  };
  static constexpr std::size_t kSlots = 256;  // a third full: most probes end at the first slot

  void insert(std::string_view word, VerbClass v);
  void trace() const;

  std::array<Slot, kSlots> slots_{};
  VerbClass plain_;      // a word of no table
  VerbClass directive_;  // a word of no table that begins with #IF
  bool verbose_;
  std::FILE* trace_;
  std::string_view last_;
};

}  // namespace dbc::dbtidy
