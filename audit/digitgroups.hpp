// Four numbers below 10^8 turned into their eight digits each at once: a checksum list line is
// two numbers of up to twenty digits, and turning them into text was as costly as hashing the
// record itself. The groups go through vector lanes side by side instead of one after another.
#pragma once

#include <cstdint>

#include "common/simd.hpp"

#ifdef DBC_X86_VECTORS
#include <immintrin.h>
#endif

namespace dbc::audit {

// out[i] holds the eight digits of in[i] (below 10^8) with leading zeros, the first digit in the
// lowest byte, as eightDigitWord gives them.
void fourDigitGroupsScalar(const std::uint32_t in[4], std::uint64_t out[4]);
#if defined(DBC_X86_VECTORS)
// Inline, so that the groups stay in registers on their way in and out.
inline void fourDigitGroupsSse2(const std::uint32_t in[4], std::uint64_t out[4]);
#endif

// Eight groups, the two lines a list writes at a time: words[i] for the i-th of a then b, as
// above. The groups come in and go out in registers: through memory, the vector's load would
// wait on the stores of its parts.
struct EightWords {
  std::uint64_t words[8];
};
EightWords eightDigitGroupsScalar(const std::uint32_t a[4], const std::uint32_t b[4]);
#if defined(DBC_X86_VECTORS)
// Only for a processor that has AVX2.
__attribute__((target("avx2"))) inline EightWords eightDigitGroupsAvx2(const std::uint32_t a[4],
                                                                       const std::uint32_t b[4]);
#endif

// The fastest of the above there is.
inline void fourDigitGroups(const std::uint32_t in[4], std::uint64_t out[4]) {
#if defined(DBC_X86_VECTORS)
  fourDigitGroupsSse2(in, out);
#else
  fourDigitGroupsScalar(in, out);
#endif
}

#if defined(DBC_X86_VECTORS)

// Each step splits every lane in two by a multiply and a shift that divide exactly over the
// range the lane can hold: x * 3518437209 >> 45 is x / 10000 for any 32-bit x, y * 5243 >> 19 is
// y / 100 below 10000 and p * 6554 >> 16 is p / 10 below 100.
inline void fourDigitGroupsSse2(const std::uint32_t in[4], std::uint64_t out[4]) {
  const __m128i zero = _mm_setzero_si128();
  __m128i x = _mm_setr_epi32(static_cast<int>(in[0]), static_cast<int>(in[1]),
                             static_cast<int>(in[2]), static_cast<int>(in[3]));
  // Halves of four digits: x / 10000 in the low 16 bits of each 32-bit lane, the rest above.
  const __m128i byTenThousand = _mm_set1_epi32(static_cast<int>(3518437209u));
  __m128i even = _mm_srli_epi64(_mm_mul_epu32(x, byTenThousand), 45);
  __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(x, 32), byTenThousand), 45);
  __m128i high = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
  __m128i low = _mm_sub_epi32(x, _mm_madd_epi16(high, _mm_set1_epi32(10000)));
  __m128i halves = _mm_or_si128(high, _mm_slli_epi32(low, 16));
  // Each half in 32 bits, then split into pairs of digits: the first pair in the low 16 bits.
  auto pairsOf = [](__m128i h) {
    __m128i hundreds = _mm_srli_epi16(_mm_mulhi_epu16(h, _mm_set1_epi32(5243)), 3);
    __m128i rest = _mm_sub_epi16(h, _mm_mullo_epi16(hundreds, _mm_set1_epi32(100)));
    return _mm_or_si128(hundreds, _mm_slli_epi32(rest, 16));
  };
  // Each pair into two digit bytes, the tens first.
  auto digitsOf = [](__m128i pairs) {
    __m128i tens = _mm_mulhi_epu16(pairs, _mm_set1_epi16(6554));
    __m128i ones = _mm_sub_epi16(pairs, _mm_mullo_epi16(tens, _mm_set1_epi16(10)));
    return _mm_add_epi8(_mm_or_si128(tens, _mm_slli_epi16(ones, 8)), _mm_set1_epi8('0'));
  };
  __m128i first = digitsOf(pairsOf(_mm_unpacklo_epi16(halves, zero)));
  __m128i second = digitsOf(pairsOf(_mm_unpackhi_epi16(halves, zero)));
  out[0] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(first));
  out[1] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(first, first)));
  out[2] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(second));
  out[3] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(second, second)));
}

// Halves of four digits, each in 32 bits, split into pairs of digits: the first in the low 16.
__attribute__((target("avx2"), always_inline)) inline __m256i pairsOfAvx2(__m256i h) {
  __m256i hundreds = _mm256_srli_epi16(_mm256_mulhi_epu16(h, _mm256_set1_epi32(5243)), 3);
  __m256i rest = _mm256_sub_epi16(h, _mm256_mullo_epi16(hundreds, _mm256_set1_epi32(100)));
  return _mm256_or_si256(hundreds, _mm256_slli_epi32(rest, 16));
}

// Each pair into two digit bytes, the tens first.
__attribute__((target("avx2"), always_inline)) inline __m256i digitsOfAvx2(__m256i pairs) {
  __m256i tens = _mm256_mulhi_epu16(pairs, _mm256_set1_epi16(6554));
  __m256i ones = _mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, _mm256_set1_epi16(10)));
  return _mm256_add_epi8(_mm256_or_si256(tens, _mm256_slli_epi16(ones, 8)), _mm256_set1_epi8('0'));
}

// The same steps as fourDigitGroupsSse2, on eight lanes: each 128-bit half of the vector holds
// four groups, and the halves' results are put back in order on the way out.
__attribute__((target("avx2"))) inline EightWords eightDigitGroupsAvx2(const std::uint32_t a[4],
                                                                       const std::uint32_t b[4]) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i x =
      _mm256_setr_epi32(static_cast<int>(a[0]), static_cast<int>(a[1]), static_cast<int>(a[2]),
                        static_cast<int>(a[3]), static_cast<int>(b[0]), static_cast<int>(b[1]),
                        static_cast<int>(b[2]), static_cast<int>(b[3]));
  const __m256i byTenThousand = _mm256_set1_epi32(static_cast<int>(3518437209u));
  __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(x, byTenThousand), 45);
  __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x, 32), byTenThousand), 45);
  __m256i high = _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
  __m256i low = _mm256_sub_epi32(x, _mm256_madd_epi16(high, _mm256_set1_epi32(10000)));
  __m256i halves = _mm256_or_si256(high, _mm256_slli_epi32(low, 16));
  // Groups 0, 1 | 4, 5 and 2, 3 | 6, 7.
  __m256i first = digitsOfAvx2(pairsOfAvx2(_mm256_unpacklo_epi16(halves, zero)));
  __m256i second = digitsOfAvx2(pairsOfAvx2(_mm256_unpackhi_epi16(halves, zero)));
  __m128i words[4] = {_mm256_castsi256_si128(first), _mm256_castsi256_si128(second),
                      _mm256_extracti128_si256(first, 1), _mm256_extracti128_si256(second, 1)};
  EightWords out;
  for (int i = 0; i < 4; ++i) {
    out.words[2 * i] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(words[i]));
    out.words[2 * i + 1] = static_cast<std::uint64_t>(_mm_extract_epi64(words[i], 1));
  }
  return out;
}

#endif

}  // namespace dbc::audit
