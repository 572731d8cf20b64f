#include "dbtidy/linestop.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dbc::dbtidy {

std::size_t findLineStopScalar(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == '\n' || p[i] == '\r' || p[i] == '\0') return i;
  }
  return n;
}

#if defined(__SSE2__)

namespace {

// Bit i set when byte i of the 16 at p stops a line.
unsigned stopsIn(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hit = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))),
      _mm_cmpeq_epi8(v, _mm_setzero_si128()));
  return static_cast<unsigned>(_mm_movemask_epi8(hit));
}

}  // namespace

std::size_t findLineStop(const char* p, std::size_t n) {
  if (n < 16) return findLineStopScalar(p, n);
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    if (unsigned m = stopsIn(p + i)) return i + static_cast<std::size_t>(__builtin_ctz(m));
  }
  if (i == n) return n;
  // The last 16 bytes, overlapping bytes already seen to hold no stop: the first hit is new.
  if (unsigned m = stopsIn(p + n - 16)) return n - 16 + static_cast<std::size_t>(__builtin_ctz(m));
  return n;
}

#else

std::size_t findLineStop(const char* p, std::size_t n) { return findLineStopScalar(p, n); }

#endif

}  // namespace dbc::dbtidy
