#include "audit/lists.hpp"

#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>

#include "audit/digitgroups.hpp"
#include "common/decimal.hpp"

namespace dbc::audit {

namespace {

// A plain "-?digits" of up to 19 digits within the signed range at `p`: advances `p` and stores
// the value, or returns false. Anything longer or out of range, or any other shape, goes to sscanf
// so that odd lines keep exactly the meaning they have always had.
bool plainNumber(const char*& p, const char* end, std::int64_t& value) {
  const char* q = p;
  bool negative = q < end && *q == '-';
  if (negative) ++q;
  std::uint64_t v = 0;
  if (!readDigits(q, end, v)) return false;
  constexpr std::uint64_t kMax = std::numeric_limits<std::int64_t>::max();
  if (v > kMax + (negative ? 1 : 0)) return false;
  value = negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
  p = q;
  return true;
}

bool atLineEnd(const char* p, const char* end) { return p == end || (*p == '\n' && p + 1 == end); }

// sscanf needs a terminated string; a list line is never longer than the 79-character reads.
template <typename Scan>
int withTerminated(std::string_view text, Scan scan) {
  char tmp[128];
  std::size_t n = text.size() < sizeof tmp - 1 ? text.size() : sizeof tmp - 1;
  std::memcpy(tmp, text.data(), n);
  tmp[n] = '\0';
  return scan(tmp);
}

constexpr std::uint64_t kE8 = 100000000;
constexpr std::uint64_t kE16 = kE8 * kE8;

[[gnu::always_inline]] inline void storeWord(char* p, std::uint64_t word) {
  std::memcpy(p, &word, 8);
}

// The `n` (1 to 16) last digits of the sixteen in `high` and `low` at `p`: whole words, the first
// shifted so that its significant digits come first and the next stored over its tail.
[[gnu::always_inline]] inline char* placeDigits(char* p, std::uint64_t high, std::uint64_t low,
                                                unsigned n) {
  if (n <= 8) {
    storeWord(p, low >> (8 * (8 - n)));
  } else {
    storeWord(p, high >> (8 * (16 - n)));
    storeWord(p + n - 8, low);
  }
  return p + n;
}

// The digits of `top` (below 10000) as a word of four, the first digit lowest.
[[gnu::always_inline]] inline std::uint32_t fourDigits(std::uint32_t top) {
  std::uint32_t hundreds = top * 5243 >> 19;
  std::uint32_t pairs = hundreds | ((top - 100 * hundreds) << 16);
  std::uint32_t tens = ((pairs * 103) >> 10) & 0x000F000Fu;
  std::uint32_t ones = pairs - 10 * tens;
  return tens + (ones << 8) + 0x30303030u;
}

// How many of the sixteen digits in `high` and `low` a number without leading zeros has (at
// least one): the leading '0' characters are the low bytes that equal '0'.
[[gnu::always_inline]] inline unsigned significantDigits(std::uint64_t high, std::uint64_t low) {
  constexpr std::uint64_t kZeros = 0x3030303030303030ull;
  auto zeroBytes = [](std::uint64_t x) { return static_cast<unsigned>(std::countr_zero(x)) / 8; };
  if (std::uint64_t h = high ^ kZeros; h != 0) return 16 - zeroBytes(h);
  std::uint64_t l = low ^ kZeros;
  return l != 0 ? 8 - zeroBytes(l) : 1;
}

// The groups of eight digits a line is made of, when its position is below 10^16 (the most any
// file has): the position's two and the checksum's lower two; `top` is what the checksum has
// above its sixteenth digit (at most 1844).
struct LineGroups {
  std::uint32_t groups[4];
  std::uint32_t top;
};

[[gnu::always_inline]] inline bool inFastRange(std::int64_t recpos) {
  return std::endian::native == std::endian::little && recpos >= 0 &&
         static_cast<std::uint64_t>(recpos) < kE16;
}

[[gnu::always_inline]] inline LineGroups groupsOf(std::uint64_t pos, std::int64_t chksum) {
  std::uint64_t sum = chksum < 0 ? 0 - static_cast<std::uint64_t>(chksum) : chksum;
  std::uint64_t top = sum / kE16;
  std::uint64_t rest = sum - top * kE16;
  std::uint64_t mid = rest / kE8;
  std::uint64_t posHigh = pos / kE8;
  return {{static_cast<std::uint32_t>(posHigh), static_cast<std::uint32_t>(pos - posHigh * kE8),
           static_cast<std::uint32_t>(mid), static_cast<std::uint32_t>(rest - mid * kE8)},
          static_cast<std::uint32_t>(top)};
}

// A line from its groups' digits in `words`.
[[gnu::always_inline]] inline char* placeLine(char* p, const std::uint64_t words[4],
                                              std::uint32_t top, bool negative) {
  p = placeDigits(p, words[0], words[1], significantDigits(words[0], words[1]));
  *p++ = ' ';
  *p = '-';
  p += negative;
  if (top != 0) {
    std::uint32_t head = fourDigits(top);
    unsigned n = 4 - static_cast<unsigned>(std::countr_zero(head ^ 0x30303030u)) / 8;
    head >>= 8 * (4 - n);
    std::memcpy(p, &head, 4);
    p = placeDigits(p + n, words[2], words[3], 16);
  } else {
    p = placeDigits(p, words[2], words[3], significantDigits(words[2], words[3]));
  }
  *p++ = '\n';
  return p;
}

// Room for a line and the words stored past its end.
constexpr std::size_t kLineRoom = 2 * kDecimalRoom + 8;

char* oneLine(char* p, std::int64_t recpos, std::int64_t chksum) {
  if (inFastRange(recpos)) {
    LineGroups g = groupsOf(static_cast<std::uint64_t>(recpos), chksum);
    std::uint64_t words[4];
    fourDigitGroups(g.groups, words);
    return placeLine(p, words, g.top, chksum < 0);
  }
  p = writeDecimal(p, recpos);
  *p++ = ' ';
  p = writeDecimal(p, chksum);
  *p++ = '\n';
  return p;
}

// The lines two at a time, `eight` turning both lines' groups into digits at once. Inlined into
// each caller, so that the vector steps it is given are built for that caller's processor.
template <typename Eight>
[[gnu::always_inline]] inline void writeLinesWith(Output& out, const ChecksumLine* lines,
                                                  std::size_t n, Eight eight) {
  constexpr std::size_t kLinesAtOnce = 64;
  while (n > 0) {
    std::size_t take = n < kLinesAtOnce ? n : kLinesAtOnce;
    char* p = out.room(take * kLineRoom);
    std::size_t i = 0;
    for (; i + 2 <= take; i += 2) {
      const ChecksumLine& a = lines[i];
      const ChecksumLine& b = lines[i + 1];
      if (!inFastRange(a.recpos) || !inFastRange(b.recpos)) {
        p = oneLine(p, a.recpos, a.chksum);
        p = oneLine(p, b.recpos, b.chksum);
        continue;
      }
      LineGroups ga = groupsOf(static_cast<std::uint64_t>(a.recpos), a.chksum);
      LineGroups gb = groupsOf(static_cast<std::uint64_t>(b.recpos), b.chksum);
      EightWords digits = eight(ga.groups, gb.groups);
      p = placeLine(p, digits.words, ga.top, a.chksum < 0);
      p = placeLine(p, digits.words + 4, gb.top, b.chksum < 0);
    }
    if (i < take) p = oneLine(p, lines[i].recpos, lines[i].chksum);
    out.commit(p);
    lines += take;
    n -= take;
  }
}

}  // namespace

void writeChecksumLine(Output& out, std::int64_t recpos, std::int64_t chksum) {
  out.commit(oneLine(out.room(kLineRoom), recpos, chksum));
}

void writeChecksumLinesScalar(Output& out, const ChecksumLine* lines, std::size_t n) {
  writeLinesWith(out, lines, n, eightDigitGroupsScalar);
}

#if defined(DBC_X86_VECTORS)

void writeChecksumLinesSse2(Output& out, const ChecksumLine* lines, std::size_t n) {
  writeLinesWith(out, lines, n, [](const std::uint32_t* a, const std::uint32_t* b) {
    EightWords digits;
    fourDigitGroupsSse2(a, digits.words);
    fourDigitGroupsSse2(b, digits.words + 4);
    return digits;
  });
}

namespace {
struct EightAvx2 {
  __attribute__((target("avx2"))) EightWords operator()(const std::uint32_t* a,
                                                        const std::uint32_t* b) const {
    return eightDigitGroupsAvx2(a, b);
  }
};
}  // namespace

__attribute__((target("avx2"))) void writeChecksumLinesAvx2(Output& out, const ChecksumLine* lines,
                                                            std::size_t n) {
  writeLinesWith(out, lines, n, EightAvx2{});
}

#endif

ChecksumLinesWriter bestChecksumLinesWriter() {
#if defined(DBC_X86_VECTORS)
  if (hasAvx2()) return writeChecksumLinesAvx2;
  return writeChecksumLinesSse2;
#else
  return writeChecksumLinesScalar;
#endif
}

void writeChangeLine(Output& out, char code, std::int64_t recpos) {
  char* p = out.room(1 + kDecimalRoom + 1);
  *p++ = code;
  p = writeDecimal(p, recpos);
  *p++ = '\n';
  out.commit(p);
}

int scanChecksumLine(std::string_view line, std::int64_t& recpos, std::int64_t& chksum) {
  const char* p = line.data();
  const char* end = p + line.size();
  std::int64_t a, b;
  if (plainNumber(p, end, a) && p < end && *p++ == ' ' && plainNumber(p, end, b) &&
      atLineEnd(p, end)) {
    recpos = a;
    chksum = b;
    return 2;
  }
  return withTerminated(line, [&](const char* s) {
    long long x = 0, y = 0;
    int n = std::sscanf(s, "%lld %lld", &x, &y);
    if (n >= 1) recpos = x;
    if (n >= 2) chksum = y;
    return n;
  });
}

int scanPosition(std::string_view text, std::int64_t& recpos) {
  const char* p = text.data();
  const char* end = p + text.size();
  std::int64_t a;
  if (plainNumber(p, end, a) && atLineEnd(p, end)) {
    recpos = a;
    return 1;
  }
  return withTerminated(text, [&](const char* s) {
    long long x = 0;
    int n = std::sscanf(s, "%lld", &x);
    if (n >= 1) recpos = x;
    return n;
  });
}

}  // namespace dbc::audit
