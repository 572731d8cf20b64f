#include "audit/checksum.hpp"

#include <bit>
#include <cstring>

#include "audit/lists.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dbc::audit {

namespace {

// The first byte at or after `p` that is not counted, or `end`.
const unsigned char* findNotCounted(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
  const __m128i marks = _mm_set1_epi8(static_cast<char>(0xFA));  // 0xFA and 0xFB once 0xFE-masked
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
#endif
  while (p < end && !notCounted(*p)) ++p;
  return p;
}

}  // namespace

void ChecksumMaker::processBlock(const unsigned char* data, std::size_t n) {
  const unsigned char* p = data;
  const unsigned char* end = data + n;
  while (p < end) {
    const unsigned char* q = findNotCounted(p, end);
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
