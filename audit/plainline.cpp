#include "audit/plainline.hpp"

#include <bit>
#include <cstring>

#include "common/decimal.hpp"

#if defined(DBC_X86_VECTORS)
#include <emmintrin.h>
#endif

namespace dbc::audit {

namespace {

std::uint64_t load(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

// For each text length up to 24, which bytes of its three words belong to it.
struct KeepMasks {
  std::uint64_t word[25][3];
};

constexpr KeepMasks kKeep = [] {
  KeepMasks t{};
  for (int n = 0; n <= 24; ++n)
    for (int i = 0; i < 3; ++i) {
      int bytes = n - 8 * i;
      t.word[n][i] = bytes >= 8 ? ~0ull : bytes <= 0 ? 0 : (1ull << (8 * bytes)) - 1;
    }
  return t;
}();

// The `n` bytes at `p` (24 readable there), in the words as a little-endian load has them.
// Stored field by field: a copy of a whole temporary would load what was just stored in pieces.
void textAt(const char* p, std::size_t n, ChecksumText& text) {
  for (int i = 0; i < 3; ++i) text.word[i] = load(p + 8 * i) & kKeep.word[n][i];
  text.length = n;
}

#if defined(DBC_X86_VECTORS)

// The value of `n` (1 to 8) digits at `p`, eight bytes readable there: moved to the end of the
// word behind '0's, then pairs, quadruples and the whole, each step one multiply. Inline, as
// each line has one.
std::uint64_t digitsValue(const char* p, int n) {
  std::uint64_t w = load(p);
  if (n < 8) w = (w << (8 * (8 - n))) | (0x3030303030303030ull >> (8 * n));
  w = ((w & 0x0F0F0F0F0F0F0F0Full) * 2561) >> 8;
  w = ((w & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
  return ((w & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32;
}

// One bit for each of the 32 bytes at `p` that is not a digit.
std::uint32_t notDigits(const char* p) {
  // Digits move to -128..-119, the only bytes below -118.
  const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - '0'));
  const __m128i limit = _mm_set1_epi8(-118);
  auto digits = [&](const char* at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmplt_epi8(_mm_add_epi8(v, shift), limit)));
  };
  return ~(digits(p) | digits(p + 16) << 16);
}

#endif

}  // namespace

ChecksumText checksumText(std::int64_t chksum) {
  char text[kDecimalRoom + 24] = {};
  std::size_t n = static_cast<std::size_t>(writeDecimal(text, chksum) - text);
  ChecksumText result;
  textAt(text, n, result);
  return result;
}

bool scanPlainLine(const char* p, std::int64_t& recpos, ChecksumText& chksum, std::size_t& used) {
#if defined(DBC_X86_VECTORS)
  // Digits, the blank, digits after an optional sign, the line feed: the bytes that are not
  // digits are the blank and then the line feed, a sign between them right after the blank.
  const std::uint32_t others = notDigits(p);
  const int blank = std::countr_zero(others);
  if (blank < 1 || blank > 16 || p[blank] != ' ') return false;
  const int sign = blank + 1;
  const int first = sign + (p[sign] == '-');
  const std::uint32_t rest = others >> first;
  if (rest == 0) return false;
  const int digits = std::countr_zero(rest);
  const int end = first + digits;
  if (p[end] != '\n') return false;
  // The shortest spelling, within the range: no leading zero (so no "-0"), and a 19-digit
  // number below 9 * 10^18.
  if (digits < 1 || digits > 19 || (p[first] == '0' && (digits > 1 || first > sign)) ||
      (digits == 19 && p[first] == '9'))
    return false;
  std::uint64_t pos = blank <= 8
                          ? digitsValue(p, blank)
                          : digitsValue(p, blank - 8) * 100000000 + digitsValue(p + blank - 8, 8);
  recpos = static_cast<std::int64_t>(pos);
  textAt(p + sign, static_cast<std::size_t>(end - sign), chksum);
  used = static_cast<std::size_t>(end) + 1;
  return true;
#else
  (void)p, (void)recpos, (void)chksum, (void)used;
  return false;
#endif
}

std::size_t alikeLinesScalar(const char* p1, const char* p2, std::size_t n, std::size_t& lines,
                             std::size_t& last) {
  std::size_t at = 0;
  lines = last = 0;
  while (n >= kPlainLineRoom && at <= n - kPlainLineRoom) {
    const void* lf = std::memchr(p1 + at, '\n', 32);
    if (lf == nullptr) break;
    std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - (p1 + at)) + 1;
    if (std::memcmp(p1 + at, p2 + at, length) != 0) break;
    last = at;
    at += length;
    ++lines;
  }
  return at;
}

std::size_t alikeLines(const char* p1, const char* p2, std::size_t n, std::size_t& lines,
                       std::size_t& last) {
#if defined(DBC_X86_VECTORS)
  // The next line's start hangs on this line's line feed alone: two compares and a count.
  const __m128i lf = _mm_set1_epi8('\n');
  auto bits = [](__m128i low, __m128i high) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
           static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16;
  };
  std::size_t at = 0, count = 0, previous = 0;
  while (n >= kPlainLineRoom && at <= n - kPlainLineRoom) {
    __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + at));
    __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + at + 16));
    __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p2 + at));
    __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p2 + at + 16));
    const std::uint32_t ends = bits(_mm_cmpeq_epi8(a0, lf), _mm_cmpeq_epi8(a1, lf));
    const std::uint32_t same = bits(_mm_cmpeq_epi8(a0, b0), _mm_cmpeq_epi8(a1, b1));
    // The line's bytes, its line feed the highest: all alike, and a line feed there at all.
    const std::uint32_t line = ends ^ (ends - 1);
    if (ends == 0 || (line & ~same) != 0) break;
    previous = at;
    at += static_cast<std::size_t>(std::countr_zero(ends)) + 1;
    ++count;
  }
  lines = count;
  last = previous;
  return at;
#else
  return alikeLinesScalar(p1, p2, n, lines, last);
#endif
}

}  // namespace dbc::audit
