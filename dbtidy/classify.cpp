#include "dbtidy/classify.hpp"

#include <algorithm>

namespace dbc::dbtidy {

namespace {

constexpr std::string_view kDeclarations[] = {
    "EQU",       "EQUATE", "DEFINE", "LIST",   "VARLIST", "VERB",     "CVERB",  "CHAR",     "DIM",
    "CHARACTER", "INIT",   "NUM",    "VAR",    "INTEGER", "FLOAT",    "FORM",   "NUMBER",   "INT",
    "RECORD",    "FILE",   "IFILE",  "AFILE",  "PFILE",   "COMFILE",  "DEVICE", "RESOURCE", "IMAGE",
    "QUEUE",     "LABEL",  "OBJECT", "METHOD", "CLASS",   "EXTERNAL",
};

enum class Condition { kAlways, kLoopStyle2, kDirectives };

struct BlockVerb {
  std::string_view word;
  BlockClass cls;
  Condition when;
};

using enum BlockClass;
using enum Condition;

constexpr BlockVerb kBlockVerbs[] = {
    {"IF", kOpens, kAlways},
    {"ELSE", kDivides, kAlways},
    {"ENDIF", kCloses, kAlways},
    {"LOOP", kOpens, kAlways},
    {"REPEAT", kCloses, kAlways},
    {"WHILE", kDivides, kLoopStyle2},
    {"UNTIL", kDivides, kLoopStyle2},
    {"CONTINUE", kDivides, kLoopStyle2},
    {"BREAK", kDivides, kLoopStyle2},
    {"LISTEND", kListEnd, kAlways},
    {"RECORDEND", kListEnd, kAlways},
    {"CASE", kDivides, kAlways},
    {"DEFAULT", kDivides, kAlways},
    {"SWITCH", kOpensSwitch, kAlways},
    {"ENDSWITCH", kClosesSwitch, kAlways},
    {"FOR", kOpens, kAlways},
    {"DEBUG", kDebug, kAlways},
    {"#ENDIF", kCloses, kDirectives},
    {"#ELSE", kDivides, kDirectives},
};

bool isDeclaration(std::string_view w) {
  return std::find(std::begin(kDeclarations), std::end(kDeclarations), w) !=
         std::end(kDeclarations);
}

}  // namespace

void Classifier::evalverb(std::string_view verb) {
  xverb.assign(verb);
  for (char& c : xverb) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  verbswt = kOrdinary;
  // -L keeps every label on its line by seeding the placement with the data column: only a
  // routine head then differs, which the test below still finds.
  splitswt = s_.lblsplit ? Placement::kDataColumn : Placement::kSplitLabel;

  // One leading "G" (global) is dropped for this test only: GDIM declares like DIM, but GIF is no
  // IF below.
  std::string_view word = xverb;
  if (!word.empty() && word[0] == 'G') word.remove_prefix(1);
  if (word == "ROUTINE" || word == "LROUTINE") {
    splitswt = Placement::kFirstTabStop;
  } else if (isDeclaration(word)) {
    splitswt = Placement::kDataColumn;
  }

  std::string_view whole = xverb;
  auto enabled = [this](Condition when) {
    return when == kAlways || (when == kLoopStyle2 && s_.loopswt) ||
           (when == kDirectives && s_.cmpdir);
  };
  bool matched = false;
  for (const BlockVerb& b : kBlockVerbs) {
    if (b.word == whole) {
      if (enabled(b.when)) verbswt = b.cls;
      matched = true;
      break;
    }
  }
  // Every directive that starts with #IF (#IFDEF, #IFNDEF, ...) opens a level.
  if (!matched && whole.substr(0, 3) == "#IF" && s_.cmpdir) verbswt = kOpens;

  if (s_.verbose) {
    std::fprintf(trace_, "Verb[%s][%i][%i]\n", xverb.c_str(), static_cast<int>(verbswt),
                 static_cast<int>(splitswt));
  }
}

}  // namespace dbc::dbtidy
