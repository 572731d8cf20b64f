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

constexpr std::string_view kRoutines[] = {"ROUTINE", "LROUTINE"};

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

template <std::size_t N>
bool listed(const std::string_view (&words)[N], std::string_view w) {
  return std::find(std::begin(words), std::end(words), w) != std::end(words);
}

bool enabled(Condition when, const Settings& s) {
  return when == kAlways || (when == kLoopStyle2 && s.loopswt) || (when == kDirectives && s.cmpdir);
}

// -L keeps every label on its line by seeding the placement with the data column: only a routine
// head then differs.
Placement defaultPlacement(const Settings& s) {
  return s.lblsplit ? Placement::kDataColumn : Placement::kSplitLabel;
}

// The longest word the hash holds: "GCHARACTER" is 10.
constexpr std::size_t kMaxKey = 16;

// Bytes p[0 .. n), n at most 8, as one little-endian word, zero-padded; reads no byte beyond
// them. The same packing serves the tables and the verbs, so only its being one-to-one matters.
std::uint64_t pack(const char* p, std::size_t n) {
  auto at = [p](std::size_t i) -> std::uint64_t { return static_cast<unsigned char>(p[i]); };
  auto four = [&](std::size_t i) {
    return at(i) | at(i + 1) << 8 | at(i + 2) << 16 | at(i + 3) << 24;
  };
  if (n >= 4) return four(0) | four(n - 4) << (8 * (n - 4));  // two loads, overlapping
  if (n == 0) return 0;
  return at(0) | at(n / 2) << (8 * (n / 2)) | at(n - 1) << (8 * (n - 1));
}

// a to z of the eight bytes in upper case, every other byte as it was.
std::uint64_t upper(std::uint64_t x) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  const std::uint64_t seven = x & (0x7F * kOnes);
  const std::uint64_t atLeastA = seven + (0x80 - 'a') * kOnes;    // top bit: low 7 bits >= 'a'
  const std::uint64_t aboveZ = seven + (0x80 - 'z' - 1) * kOnes;  // top bit: low 7 bits > 'z'
  const std::uint64_t lower = atLeastA & ~aboveZ & ~x & (0x80 * kOnes);
  return x ^ (lower >> 2);  // 0x80 >> 2 is the 0x20 between the cases
}

std::size_t slotOf(std::uint64_t lo, std::uint64_t hi, std::size_t len, std::size_t slots) {
  std::uint64_t h = (lo ^ (hi * 0xC2B2AE3D27D4EB4FULL) ^ len) * 0x9E3779B97F4A7C15ULL;
  return static_cast<std::size_t>(h >> 56) & (slots - 1);
}

}  // namespace

std::string upperCase(std::string_view verb) {
  std::string x(verb);
  for (char& c : x) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return x;
}

VerbClass plainClass(std::string_view verb, const Settings& s) {
  const std::string xverb = upperCase(verb);
  VerbClass v{kOrdinary, defaultPlacement(s)};
  // One leading "G" (global) is dropped for this test only: GDIM declares like DIM, but GIF is no
  // IF below.
  std::string_view word = xverb;
  if (!word.empty() && word[0] == 'G') word.remove_prefix(1);
  if (listed(kRoutines, word)) {
    v.placement = Placement::kFirstTabStop;
  } else if (listed(kDeclarations, word)) {
    v.placement = Placement::kDataColumn;
  }
  std::string_view whole = xverb;
  for (const BlockVerb& b : kBlockVerbs) {
    if (b.word == whole) {
      if (enabled(b.when, s)) v.cls = b.cls;
      return v;
    }
  }
  // Every directive that starts with #IF (#IFDEF, #IFNDEF, ...) opens a level.
  if (whole.substr(0, 3) == "#IF" && s.cmpdir) v.cls = kOpens;
  return v;
}

// The hash holds every word the tables name, with and without its "G" where the "G" counts, each
// with the class and placement this run's settings give it.
Classifier::Classifier(const Settings& s, std::FILE* trace) : verbose_(s.verbose), trace_(trace) {
  plain_ = {kOrdinary, defaultPlacement(s)};
  directive_ = {s.cmpdir ? kOpens : kOrdinary, defaultPlacement(s)};
  auto withG = [&](std::string_view word, Placement p) {
    insert(word, {kOrdinary, p});
    insert("G" + std::string(word), {kOrdinary, p});
  };
  for (std::string_view w : kDeclarations) withG(w, Placement::kDataColumn);
  for (std::string_view w : kRoutines) withG(w, Placement::kFirstTabStop);
  for (const BlockVerb& b : kBlockVerbs) {
    insert(b.word, {enabled(b.when, s) ? b.cls : kOrdinary, plain_.placement});
  }
}

void Classifier::insert(std::string_view word, VerbClass v) {
  const std::size_t n = word.size();
  const std::uint64_t lo = pack(word.data(), std::min<std::size_t>(n, 8));
  const std::uint64_t hi = n > 8 ? pack(word.data() + 8, n - 8) : 0;
  std::size_t i = slotOf(lo, hi, n, kSlots);
  while (slots_[i].len != 0 && !(slots_[i].lo == lo && slots_[i].hi == hi && slots_[i].len == n)) {
    i = (i + 1) & (kSlots - 1);
  }
  // No word stands in two of the tables, so none is inserted twice.
  slots_[i] = Slot{lo, hi, n, v};
}

VerbClass Classifier::lookup(std::string_view verb) const {
  const std::size_t n = verb.size();
  const char* p = verb.data();
  const std::uint64_t lo = upper(pack(p, std::min<std::size_t>(n, 8)));
  if (n != 0 && n <= kMaxKey) {
    const std::uint64_t hi = n > 8 ? upper(pack(p + 8, n - 8)) : 0;
    for (std::size_t i = slotOf(lo, hi, n, kSlots);; i = (i + 1) & (kSlots - 1)) {
      const Slot& slot = slots_[i];
      if (slot.len == 0) break;
      if (slot.lo == lo && slot.hi == hi && slot.len == n) return slot.v;
    }
  }
  constexpr std::uint64_t kHashIf = '#' | 'I' << 8 | 'F' << 16;
  if (n >= 3 && (lo & 0xFFFFFF) == kHashIf) return directive_;
  return plain_;
}

void Classifier::trace() const {
  std::fprintf(trace_, "Verb[%s][%i][%i]\n", xverb().c_str(), static_cast<int>(verbswt),
               static_cast<int>(splitswt));
}

}  // namespace dbc::dbtidy
