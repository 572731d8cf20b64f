#include "pageconv/linetext.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

#ifdef DBC_X86_VECTORS
#include <immintrin.h>
#endif

namespace dbc::pageconv {

namespace {

// The byte at p that stopped a run of plain text: a line end ends the line (false is returned),
// any other byte is escaped at w and passed.
inline bool takeStop(char*& w, const char*& p) {
  const unsigned char c = static_cast<unsigned char>(*p);
  if (isLineEnd(c)) return false;
  w = escape(w, c);
  ++p;
  return true;
}

// Sixteen bytes at a time: those with nothing to escape are moved together, and the first that
// needs attention is taken alone. `kEscaped` sets bit j when byte j of the sixteen isEscaped.
template <std::uint32_t (*kEscaped)(const char*)>
inline const char* lineBy16(char*& wr, const char* p, const char* end) {
  char* w = wr;
  while (p < end) {
    if (end - p >= 16) {
      const std::uint32_t m = kEscaped(p);
      std::memcpy(w, p, 16);
      const unsigned s = m == 0 ? 16 : static_cast<unsigned>(std::countr_zero(m));
      w += s;
      p += s;
      if (m == 0) continue;
    }
    if (!takeStop(w, p)) break;
  }
  wr = w;
  return p;
}

// The lines of a run, each written by `kLine` up to its end.
template <const char* (*kLine)(char*&, const char*, const char*)>
[[gnu::always_inline]] inline void runWith(LineRun& run, std::size_t until) {
  const char* p = run.p;
  const std::size_t n = run.n;
  std::size_t i = run.i;
  char* w = run.w;
  bool open = run.open;
  std::int64_t linmax = run.linmax, pagsiz = run.pagsiz, pagmax = run.pagmax;
  while (i < until) {
    char* const line = w;  // what is written of a line that cannot be taken whole is dropped
    if (!open) w = static_cast<char*>(std::memcpy(w, "\\par ", 5)) + 5;
    const char* stop = p + std::min(n, i + kPlainMax);
    const char* e = kLine(w, p + i, stop);
    std::size_t at = static_cast<std::size_t>(e - p), end = at;
    while (end < n && p[end] == '\r') ++end;
    if (e == stop || end == n || (p[end] != '\n' && p[end] != '\f')) {
      w = line;
      run.end = at;
      break;
    }
    linmax = std::max(linmax, static_cast<std::int64_t>(at - i));
    if (p[end] == '\n') {
      *w++ = '\n';
      open = false;
      ++pagsiz;
    } else {
      pagsiz += at > i;
      pagmax = std::max(pagmax, pagsiz);
      pagsiz = 0;
      if (at > i) w = static_cast<char*>(std::memcpy(w, "\n\\par ", 6)) + 6;
      w = static_cast<char*>(std::memcpy(w, "\\page\n", 6)) + 6;
      open = true;
    }
    i = end + 1;
  }
  run.i = i;
  run.w = w;
  run.open = open;
  run.linmax = linmax;
  run.pagsiz = pagsiz;
  run.pagmax = pagmax;
}

std::uint32_t escapedWords16(const char* p) {
  return static_cast<std::uint32_t>(gatherTops(escapedTops(loadWord(p))) |
                                    gatherTops(escapedTops(loadWord(p + 8))) << 8);
}

}  // namespace

const char* lineWords(char*& w, const char* p, const char* end) {
  return lineBy16<escapedWords16>(w, p, end);
}

void runWords(LineRun& run, std::size_t until) { runWith<lineWords>(run, until); }

#ifdef DBC_X86_VECTORS

namespace {

// Below 0x20 as a signed byte takes in every byte from 0x80 up as well.
std::uint32_t escapedSse2(const char* p) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i low = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                 _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
  __m128i special = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('{')), _mm_cmpeq_epi8(v, _mm_set1_epi8('}'))),
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7f))));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(low, special)));
}

// How eight bytes spread when a backslash goes before each of those flagged by the index: the
// shuffle that picks, from the eight bytes followed by eight backslashes, the bytes of the
// result in order (8 + the flags' count of them).
struct Spread {
  alignas(16) unsigned char pick[256][16];
};

constexpr Spread makeSpread() {
  Spread s{};
  for (unsigned m = 0; m < 256; ++m) {
    unsigned o = 0;
    for (unsigned b = 0; b < 8; ++b) {
      if ((m >> b) & 1) s.pick[m][o++] = 8;
      s.pick[m][o++] = static_cast<unsigned char>(b);
    }
    while (o < 16) s.pick[m][o++] = 0x80;
  }
  return s;
}

constexpr Spread kSpread = makeSpread();

// Eight bytes (the low half of `bytes`; its high half holds backslashes) with a backslash before
// each flagged one, at w; returns where they end. Sixteen bytes are written.
__attribute__((target("avx2"))) inline char* spread(char* w, __m128i bytes, unsigned flags) {
  const __m128i pick = _mm_load_si128(reinterpret_cast<const __m128i*>(kSpread.pick[flags]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_shuffle_epi8(bytes, pick));
  return w + 8 + std::popcount(flags);
}

}  // namespace

const char* lineSse2(char*& w, const char* p, const char* end) {
  return lineBy16<escapedSse2>(w, p, end);
}

void runSse2(LineRun& run, std::size_t until) { runWith<lineSse2>(run, until); }

// Thirty-two bytes at a time: a byte looked up by its low and by its high four bits is escaped
// when the two answers share a bit, and a brace or backslash (bits 4 and 8) takes a backslash
// before it, which a shuffle puts in place eight bytes at a time. The first byte that needs more
// (a line end, or a byte written in hex) stops the run and is taken alone. Bit 1: a control byte
// but the tab (high 0); bit 2: any low bits (high 1, and 8 to F); bit 4: the backslash (5C);
// bit 8: the braces (7B, 7D); bit 16: DEL (7F).
namespace {

__attribute__((target("avx2"))) inline const char* lineAvx2Inline(char*& wr, const char* p,
                                                                  const char* end) {
  const __m256i byLow = _mm256_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 3, 11, 7, 11, 3, 19,  //
                                         3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 3, 11, 7, 11, 3, 19);
  const __m256i byHigh = _mm256_setr_epi8(1, 2, 0, 0, 0, 4, 0, 24, 2, 2, 2, 2, 2, 2, 2, 2,  //
                                          1, 2, 0, 0, 0, 4, 0, 24, 2, 2, 2, 2, 2, 2, 2, 2);
  const __m256i nibble = _mm256_set1_epi8(0x0f), specialBits = _mm256_set1_epi8(12);
  const __m256i zero = _mm256_setzero_si256();
  const __m128i backslashes = _mm_set1_epi8('\\');
  char* w = wr;
  while (p < end) {
    // The last stretch is read from a copy behind line feeds, which stop the run where it ends.
    alignas(32) char tail[32];
    const char* q = p;
    if (end - p < 32) {
      std::memset(tail, '\n', sizeof tail);
      std::memcpy(tail, p, static_cast<std::size_t>(end - p));
      q = tail;
    }
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
    const __m256i cls = _mm256_and_si256(
        _mm256_shuffle_epi8(byLow, _mm256_and_si256(v, nibble)),
        _mm256_shuffle_epi8(byHigh, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
    const auto escaped =
        ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(cls, zero)));
    const auto special = ~static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(cls, specialBits), zero)));
    const std::uint32_t stop = escaped & ~special;
    const __m128i lo = _mm256_castsi256_si128(v), hi = _mm256_extracti128_si256(v, 1);
    char* from = w;
    w = spread(w, _mm_unpacklo_epi64(lo, backslashes), special & 0xFF);
    w = spread(w, _mm_unpackhi_epi64(lo, backslashes), (special >> 8) & 0xFF);
    w = spread(w, _mm_unpacklo_epi64(hi, backslashes), (special >> 16) & 0xFF);
    w = spread(w, _mm_unpackhi_epi64(hi, backslashes), special >> 24);
    if (stop == 0) {
      p += 32;
      continue;
    }
    const unsigned s = static_cast<unsigned>(std::countr_zero(stop));
    w = from + s + std::popcount(special & ((std::uint32_t{1} << s) - 1));
    p += s;
    if (p >= end) {
      p = end;
      break;
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    if (isLineEnd(c)) break;
    w = escape(w, c);
    ++p;
  }
  wr = w;
  return p;
}

}  // namespace

__attribute__((target("avx2"))) const char* lineAvx2(char*& w, const char* p, const char* end) {
  return lineAvx2Inline(w, p, end);
}

__attribute__((target("avx2"))) void runAvx2(LineRun& run, std::size_t until) {
  runWith<lineAvx2Inline>(run, until);
}

#endif

}  // namespace dbc::pageconv
