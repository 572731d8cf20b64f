// The byte runs a source line is cut into (labels and verbs, spaces, trailing blanks), its tab
// conversion, and the copies that build the output line, sixteen bytes at a time. The lengths
// of these runs vary from line to line, so a byte loop mispredicts its exit on nearly every run;
// a group of sixteen holds the whole run nearly always.
//
// Every function here reads and writes whole groups of 16 bytes: it may read up to kSlack bytes
// past the end of the text it is given (never before its start), and the copies may write as far
// past the end of what they write. Lines handed to the formatter, and the line it builds, have
// that much room behind them. The ...Scalar forms keep to the bytes they are given; they are what
// runs without SSE2 and what the vector forms are checked against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dbc::dbtidy {

inline constexpr std::size_t kSlack = 64;

// Graphic: 0x21 to 0x7E, what labels and verbs are made of.
inline bool graphic(char c) { return static_cast<unsigned char>(c) - 0x21u < 0x7Fu - 0x21u; }

// Length of the run of graphic bytes at p, at most n.
std::size_t graphicRunScalar(const char* p, std::size_t n);
// Length of the run of spaces at p, at most n.
std::size_t spaceRunScalar(const char* p, std::size_t n);
// n less the spaces that end p[0 .. n).
std::size_t trimmedScalar(const char* p, std::size_t n);
// Every tab of p[0 .. n) that no "." follows within them becomes a space.
void convertTabsScalar(char* p, std::size_t n);

// Converts the tabs of p[0 .. n) as convertTabs does, then tells where the parts of the
// statement line lie: the label is [0, label), the verb [verb, verbEnd) and
// the operands [ops, opsEnd), their trailing spaces left out. verb == n when nothing but spaces
// follows the label; the other fields are then not set.
struct LineCuts {
  std::size_t label, verb, verbEnd, ops, opsEnd;
};
LineCuts convertAndCutScalar(char* p, std::size_t n);

namespace detail {

using Run = std::size_t (*)(const char*, std::size_t);

// The cuts of a line whose tabs are converted, found by one run after the other.
template <Run graphicRun, Run spaceRun, Run trimmed>
LineCuts cutByRuns(const char* p, std::size_t n) {
  LineCuts c;
  c.label = graphicRun(p, n);
  c.verb = c.label + spaceRun(p + c.label, n - c.label);
  if (c.verb == n) return c;
  c.verbEnd = c.verb + graphicRun(p + c.verb, n - c.verb);
  c.ops = c.verbEnd + spaceRun(p + c.verbEnd, n - c.verbEnd);
  c.opsEnd = c.ops + trimmed(p + c.ops, n - c.ops);
  return c;
}

}  // namespace detail

#if defined(__SSE2__)

namespace detail {

inline __m128i load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

inline unsigned bits(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }

// Bits 0 .. k-1 of a group, k at most 16.
inline unsigned below(std::size_t k) { return (1u << k) - 1; }

// Bytes 0 .. k-1 of a group all ones, the others zero; k at most 16.
inline __m128i firstBytes(std::size_t k) {
  static constexpr signed char kOnes[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            -1, -1, -1, -1, -1, 0,  0,  0,  0,  0,  0,
                                            0,  0,  0,  0,  0,  0,  0,  0,  0,  0};
  return load(reinterpret_cast<const char*>(kOnes) + 16 - k);
}

inline unsigned graphicBits(const char* p) {
  const __m128i v = load(p);
  // As signed bytes, 0x80 to 0xFF are negative: above 0x20 leaves 0x21 to 0x7F.
  return bits(_mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)),
                               _mm_cmpgt_epi8(v, _mm_set1_epi8(0x20))));
}

inline unsigned spaceBits(const char* p) {
  return bits(_mm_cmpeq_epi8(load(p), _mm_set1_epi8(' ')));
}

// Length of the run at p, at most n, of the bytes whose bits `in` sets.
template <unsigned (*in)(const char*)>
inline std::size_t runOf(const char* p, std::size_t n) {
  for (std::size_t k = 0;; k += 16) {
    if (unsigned stop = ~in(p + k) & 0xFFFF) {
      std::size_t r = k + static_cast<std::size_t>(__builtin_ctz(stop));
      return r < n ? r : n;
    }
    if (k + 16 >= n) return n;
  }
}

}  // namespace detail

inline std::size_t graphicRun(const char* p, std::size_t n) {
  return detail::runOf<detail::graphicBits>(p, n);
}

inline std::size_t spaceRun(const char* p, std::size_t n) {
  return detail::runOf<detail::spaceBits>(p, n);
}

inline std::size_t trimmed(const char* p, std::size_t n) {
  if (n == 0) return 0;
  for (std::size_t k = (n - 1) & ~std::size_t{15};; k -= 16) {
    const std::size_t inGroup = n - k < 16 ? n - k : 16;
    if (unsigned kept = ~detail::spaceBits(p + k) & detail::below(inGroup)) {
      return k + 32 - static_cast<std::size_t>(__builtin_clz(kept));
    }
    if (k == 0) return 0;
  }
}

// Rewrites whole groups, the bytes past p[n - 1] with what they hold: no tab there changes.
inline void convertTabs(char* p, std::size_t n) {
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i dot = _mm_set1_epi8('.');
  const __m128i flip = _mm_set1_epi8('\t' ^ ' ');
  for (std::size_t k = 0; k < n; k += 16) {
    const std::size_t inGroup = n - k < 16 ? n - k : 16;
    // A tab is kept before "." only where that "." is still in the line.
    const std::size_t dotsInGroup = n - k - 1 < 16 ? n - k - 1 : 16;
    const __m128i v = detail::load(p + k);
    const __m128i convert =
        _mm_and_si128(_mm_andnot_si128(_mm_and_si128(_mm_cmpeq_epi8(detail::load(p + k + 1), dot),
                                                     detail::firstBytes(dotsInGroup)),
                                       _mm_cmpeq_epi8(v, tab)),
                      detail::firstBytes(inGroup));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + k),
                     _mm_xor_si128(v, _mm_and_si128(convert, flip)));
  }
}

namespace detail {

// The first set bit of `bits` at or after `from` (below 64), or 64 when there is none.
inline std::size_t firstFrom(std::uint64_t bits, std::size_t from) {
  const std::uint64_t rest = bits >> from;
  return rest ? from + static_cast<std::size_t>(__builtin_ctzll(rest)) : 64;
}

// Converts the tabs of the groups p[0 .. 16 * kGroups) as convertTabs does those of p[0 .. n),
// and sets the bits of their graphic bytes and of their spaces, the converted tabs among them.
template <std::size_t kGroups>
inline void convertAndMask(char* p, std::size_t n, std::uint64_t& graphic, std::uint64_t& space) {
  const __m128i length = _mm_set1_epi8(static_cast<char>(n));
  const __m128i lastDot = _mm_set1_epi8(static_cast<char>(n - 1));
  __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  for (std::size_t k = 0; k < 16 * kGroups; k += 16) {
    const __m128i v = load(p + k);
    // A tab is kept before "." only where that "." is still in the line.
    const __m128i keep = _mm_and_si128(_mm_cmpeq_epi8(load(p + k + 1), _mm_set1_epi8('.')),
                                       _mm_cmpgt_epi8(lastDot, index));
    const __m128i convert = _mm_andnot_si128(
        keep, _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')), _mm_cmpgt_epi8(length, index)));
    const __m128i w = _mm_xor_si128(v, _mm_and_si128(convert, _mm_set1_epi8('\t' ^ ' ')));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + k), w);
    graphic |= std::uint64_t{graphicBits(p + k)} << k;
    space |= std::uint64_t{bits(_mm_cmpeq_epi8(w, _mm_set1_epi8(' ')))} << k;
    index = _mm_add_epi8(index, _mm_set1_epi8(16));
  }
}

// The tabs of a line of 1 to 64 bytes (all statement lines, nearly) are converted, and the line
// cut from one graphic and one space mask of its bytes taken on the same pass, rather than by one
// scan per part: each scan's exit depends on the last. Most lines fit in two groups.
inline LineCuts convertAndCutShort(char* p, std::size_t n) {
  std::uint64_t graphic = 0, space = 0;
  if (n <= 32) {
    convertAndMask<2>(p, n, graphic, space);
  } else {
    convertAndMask<4>(p, n, graphic, space);
  }
  const std::uint64_t in = n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
  // Past the line every byte counts as neither, which ends every run at n.
  const std::uint64_t notGraphic = ~(graphic & in), notSpace = ~(space & in);
  LineCuts c;
  c.label = firstFrom(notGraphic, 0);
  c.verb = c.label < 64 ? firstFrom(notSpace, c.label) : 64;
  if (c.verb >= n) {
    c.verb = n;
    return c;
  }
  c.verbEnd = firstFrom(notGraphic, c.verb);
  c.ops = c.verbEnd < 64 ? firstFrom(notSpace, c.verbEnd) : 64;
  if (c.ops > n) c.ops = n;
  const std::uint64_t fromOps = c.ops < 64 ? ~std::uint64_t{0} << c.ops : 0;
  const std::uint64_t kept = notSpace & in & fromOps;
  c.opsEnd = kept ? 64 - static_cast<std::size_t>(__builtin_clzll(kept)) : c.ops;
  return c;
}

}  // namespace detail

inline LineCuts convertAndCut(char* p, std::size_t n) {
  if (n - 1 < 64) return detail::convertAndCutShort(p, n);
  convertTabs(p, n);
  return detail::cutByRuns<graphicRun, spaceRun, trimmed>(p, n);
}

// Copies n bytes from src to dst in whole groups; the first two groups always, since most texts
// fit in them and a loop would mispredict its end for the others.
inline void copyGroups(char* dst, const char* src, std::size_t n) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), detail::load(src));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), detail::load(src + 16));
  for (std::size_t k = 32; k < n; k += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), detail::load(src + k));
  }
}

// n bytes c at dst, in whole groups; the first always.
inline void fillGroups(char* dst, char c, std::size_t n) {
  const __m128i v = _mm_set1_epi8(c);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v);
  for (std::size_t k = 16; k < n; k += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), v);
}

#else

inline std::size_t graphicRun(const char* p, std::size_t n) { return graphicRunScalar(p, n); }
inline std::size_t spaceRun(const char* p, std::size_t n) { return spaceRunScalar(p, n); }
inline std::size_t trimmed(const char* p, std::size_t n) { return trimmedScalar(p, n); }
inline void convertTabs(char* p, std::size_t n) { convertTabsScalar(p, n); }
inline void copyGroups(char* dst, const char* src, std::size_t n) { std::memcpy(dst, src, n); }
inline void fillGroups(char* dst, char c, std::size_t n) { std::memset(dst, c, n); }
inline LineCuts convertAndCut(char* p, std::size_t n) { return convertAndCutScalar(p, n); }

#endif

}  // namespace dbc::dbtidy
