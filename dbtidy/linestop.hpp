// Where source lines stop being plain text: the line feeds, carriage returns and zero bytes of
// the read buffer, found 64 bytes at a time. A line with none of the last two before its line
// feed is handed out where it lies in the buffer; the others go the byte-by-byte way.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dbc::dbtidy {

// Bit i set when p[i] is LF, CR or a zero byte, a byte at a time: what runs where SSE2 is missing,
// and what the vector path is checked against. Reads p[0 .. 64).
std::uint64_t stopMaskScalar(const char* p);

#if defined(__SSE2__)

namespace detail {
inline std::uint64_t stopMask16(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hit = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))),
      _mm_cmpeq_epi8(v, _mm_setzero_si128()));
  return static_cast<std::uint16_t>(_mm_movemask_epi8(hit));
}
}  // namespace detail

// The same with SSE2, which every x86-64 has. Reads p[0 .. 64).
inline std::uint64_t stopMask(const char* p) {
  return detail::stopMask16(p) | detail::stopMask16(p + 16) << 16 |
         detail::stopMask16(p + 32) << 32 | detail::stopMask16(p + 48) << 48;
}

#else

inline std::uint64_t stopMask(const char* p) { return stopMaskScalar(p); }

#endif

}  // namespace dbc::dbtidy
