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

// A verb as the look-up takes it: its first 16 bytes in upper case, zero-padded, as two
// little-endian words, and its length.
struct VerbKey {
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;
  std::size_t len = 0;
  bool operator==(const VerbKey&) const = default;
};

// The key of the verb at p[0 .. n), reading only those bytes.
VerbKey verbKeyScalar(const char* p, std::size_t n);
// The same reading the 16 bytes from p whatever n is: for a verb inside a line, which has the
// room behind it (see bytescan.hpp).
VerbKey verbKeyInLine(const char* p, std::size_t n);

class Classifier {
 public:
  // `trace` receives the -V line of every verb.
  Classifier(const Settings& s, std::FILE* trace);

  // Looks at the verb word alone (no operands); sets verbswt and splitswt.
  void evalverb(std::string_view verb) { take(verb, lookup(verb)); }
  // The same for a verb inside a line.
  void evalverbInLine(std::string_view verb);

  // The class and placement of `verb` under this run's settings.
  VerbClass lookup(std::string_view verb) const {
    return lookup(verbKeyScalar(verb.data(), verb.size()));
  }
  VerbClass lookup(const VerbKey& key) const;

  // The last verb in upper case, as the trace shows it; valid while that verb's text is.
  std::string xverb() const { return upperCase(last_); }

  BlockClass verbswt = BlockClass::kOrdinary;
  Placement splitswt = Placement::kSplitLabel;

  // The words of the tables: declarations and routine heads with and without "G", block verbs.
  static constexpr std::size_t kWords = 89;

 private:
  void take(std::string_view verb, VerbClass v) {
    verbswt = v.cls;
    splitswt = v.placement;
    last_ = verb;
    if (verbose_) trace();
  }
  void trace() const;

  // What each word of the tables means under this run's settings, by its number in the hash;
  // number 0 is a word of no table.
  std::array<VerbClass, kWords + 1> resolved_{};
  VerbClass directive_;  // a word of no table that begins with #IF
  bool verbose_;
  std::FILE* trace_;
  std::string_view last_;
};

}  // namespace dbc::dbtidy
