#include "dbtidy/classify.hpp"

#include <algorithm>

#include "dbtidy/bytescan.hpp"

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

// Every word the tables name, with its "G" where the "G" counts, numbered from 1 for the hash.
struct Entry {
  VerbKey key;
  Placement placement = Placement::kSplitLabel;  // for a declaration or routine head
  int block = -1;                                // else its row of kBlockVerbs
};

constexpr std::size_t kEntries =
    2 * std::size(kDeclarations) + 2 * std::size(kRoutines) + std::size(kBlockVerbs);

constexpr VerbKey keyOf(std::string_view prefix, std::string_view word) {
  VerbKey k;
  k.len = prefix.size() + word.size();
  for (std::size_t i = 0; i < k.len && i < 16; ++i) {
    const std::uint64_t c =
        static_cast<unsigned char>(i < prefix.size() ? prefix[i] : word[i - prefix.size()]);
    (i < 8 ? k.lo : k.hi) |= c << (8 * (i % 8));
  }
  return k;
}

constexpr std::array<Entry, kEntries + 1> buildEntries() {
  std::array<Entry, kEntries + 1> e{};
  e[0].key.len = ~std::size_t{0};  // no verb has this length: number 0 matches nothing
  std::size_t i = 1;
  for (std::string_view prefix : {"", "G"}) {
    for (std::string_view w : kDeclarations) e[i++] = {keyOf(prefix, w), Placement::kDataColumn};
    for (std::string_view w : kRoutines) e[i++] = {keyOf(prefix, w), Placement::kFirstTabStop};
  }
  for (int b = 0; b < static_cast<int>(std::size(kBlockVerbs)); ++b) {
    e[i++] = {keyOf("", kBlockVerbs[b].word), Placement::kSplitLabel, b};
  }
  return e;
}

static_assert(kEntries == Classifier::kWords);
constexpr std::array<Entry, kEntries + 1> kTable = buildEntries();

// The hash: a multiplier chosen so that no two words of the tables share a slot. A look-up is
// then one slot and one comparison, the same for every verb, with no probing loop whose length
// varies from verb to verb.
constexpr unsigned kSlotBits = 10;
constexpr std::uint64_t kMulLo = 0xF28C105D1FB17C23ULL;

constexpr std::size_t slotOf(const VerbKey& k) {
  return static_cast<std::size_t>(
      ((k.lo * kMulLo) ^ (k.hi * 0xC2B2AE3D27D4EB4FULL) ^ (k.len * 0x165667B19E3779F9ULL)) >>
      (64 - kSlotBits));
}

struct Slots {
  std::array<std::uint8_t, std::size_t{1} << kSlotBits> entry{};  // 0: no word here
  bool perfect = true;
};

constexpr Slots buildSlots() {
  Slots s;
  for (std::size_t i = 1; i <= kEntries; ++i) {
    std::uint8_t& slot = s.entry[slotOf(kTable[i].key)];
    if (slot != 0) s.perfect = false;
    slot = static_cast<std::uint8_t>(i);
  }
  return s;
}

constexpr Slots kSlots = buildSlots();
static_assert(kSlots.perfect, "two words of the verb tables share a slot: choose another kMulLo");

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

VerbKey verbKeyScalar(const char* p, std::size_t n) {
  VerbKey k;
  k.len = n;
  for (std::size_t i = 0; i < n && i < 16; ++i) {
    char c = p[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    (i < 8 ? k.lo : k.hi) |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * (i % 8));
  }
  return k;
}

#if defined(__SSE2__)
VerbKey verbKeyInLine(const char* p, std::size_t n) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // As signed bytes, a to z are above 'a' - 1 and below 'z' + 1; 0x80 to 0xFF are negative.
  const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('a' - 1)),
                                      _mm_cmplt_epi8(v, _mm_set1_epi8('z' + 1)));
  __m128i up = _mm_xor_si128(v, _mm_and_si128(lower, _mm_set1_epi8(0x20)));
  up = _mm_and_si128(up, detail::firstBytes(n < 16 ? n : 16));
  VerbKey k;
  k.lo = static_cast<std::uint64_t>(_mm_cvtsi128_si64(up));
  k.hi = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(up, up)));
  k.len = n;
  return k;
}
#else
VerbKey verbKeyInLine(const char* p, std::size_t n) { return verbKeyScalar(p, n); }
#endif

Classifier::Classifier(const Settings& s, std::FILE* trace) : verbose_(s.verbose), trace_(trace) {
  const Placement plain = defaultPlacement(s);
  resolved_[0] = {kOrdinary, plain};
  directive_ = {s.cmpdir ? kOpens : kOrdinary, plain};
  for (std::size_t i = 1; i <= kEntries; ++i) {
    const Entry& e = kTable[i];
    if (e.block < 0) {
      resolved_[i] = {kOrdinary, e.placement};
    } else {
      const BlockVerb& b = kBlockVerbs[e.block];
      resolved_[i] = {enabled(b.when, s) ? b.cls : kOrdinary, plain};
    }
  }
}

VerbClass Classifier::lookup(const VerbKey& key) const {
  std::size_t i = kSlots.entry[slotOf(key)];
  const VerbKey& k = kTable[i].key;
  // Bitwise, not short-circuit: which verbs match varies from line to line.
  const bool match = (k.lo == key.lo) & (k.hi == key.hi) & (k.len == key.len);
  i = match ? i : 0;
  // A word of no table that begins with #IF; its zero padding makes a shorter word differ.
  constexpr std::uint64_t kHashIf = '#' | 'I' << 8 | 'F' << 16;
  if ((key.lo & 0xFFFFFF) == kHashIf && i == 0) [[unlikely]]
    return directive_;
  return resolved_[i];
}

void Classifier::evalverbInLine(std::string_view verb) {
  take(verb, lookup(verbKeyInLine(verb.data(), verb.size())));
}

void Classifier::trace() const {
  std::fprintf(trace_, "Verb[%s][%i][%i]\n", xverb().c_str(), static_cast<int>(verbswt),
               static_cast<int>(splitswt));
}

}  // namespace dbc::dbtidy
