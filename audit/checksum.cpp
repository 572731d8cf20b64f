#include "audit/checksum.hpp"

#include <bit>
#include <cstring>

#include "audit/lists.hpp"

#if defined(DBC_X86_VECTORS)
#include <immintrin.h>
#endif

namespace dbc::audit {

const unsigned char* findNotCountedScalar(const unsigned char* p, const unsigned char* end) {
  while (p < end && !notCounted(*p)) ++p;
  return p;
}

#if defined(DBC_X86_VECTORS)

// A vector's bytes that are not counted: 0xFA and 0xFB alike once their last bit is dropped.
const unsigned char* findNotCountedSse2(const unsigned char* p, const unsigned char* end) {
  const __m128i marks = _mm_set1_epi8(static_cast<char>(0xFA));
  const __m128i pair = _mm_set1_epi8(static_cast<char>(0xFE));
  const __m128i deleted = _mm_set1_epi8(static_cast<char>(0xFF));
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit =
        _mm_or_si128(_mm_cmpeq_epi8(_mm_and_si128(v, pair), marks), _mm_cmpeq_epi8(v, deleted));
    int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + std::countr_zero(static_cast<unsigned>(mask));
    p += 16;
  }
  return findNotCountedScalar(p, end);
}

__attribute__((target("avx2"))) const unsigned char* findNotCountedAvx2(const unsigned char* p,
                                                                        const unsigned char* end) {
  const __m256i marks = _mm256_set1_epi8(static_cast<char>(0xFA));
  const __m256i pair = _mm256_set1_epi8(static_cast<char>(0xFE));
  const __m256i deleted = _mm256_set1_epi8(static_cast<char>(0xFF));
  while (end - p >= 32) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m256i hit = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_and_si256(v, pair), marks),
                                  _mm256_cmpeq_epi8(v, deleted));
    auto mask = static_cast<unsigned>(_mm256_movemask_epi8(hit));
    if (mask != 0) return p + std::countr_zero(mask);
    p += 32;
  }
  return findNotCountedSse2(p, end);
}

#endif

NotCountedFinder bestNotCountedFinder() {
#if defined(DBC_X86_VECTORS)
  if (hasAvx2()) return findNotCountedAvx2;
  return findNotCountedSse2;
#else
  return findNotCountedScalar;
#endif
}

void ChecksumMaker::processBlock(const unsigned char* data, std::size_t n) {
  const unsigned char* p = data;
  const unsigned char* end = data + n;
  while (p < end) {
    const unsigned char* q = find_(p, end);
    if (q > p) {
      if (!recflg) {
        recpos = filpos + (p - data);
        recflg = true;
        chksum = kChecksumStart;
      }
      chksum = extend_(chksum, p, static_cast<std::size_t>(q - p));
      recndx += q - p;
    }
    if (q == end) break;
    if (*q == dbc::kRecordMark) {
      if (recflg) writeChecksumLine(out_, recpos, static_cast<std::int64_t>(chksum));
      recflg = false;
      recndx = 0;
      chksum = 0;
    }
    p = q + 1;
  }
  filpos += static_cast<std::int64_t>(n);
}

}  // namespace dbc::audit
