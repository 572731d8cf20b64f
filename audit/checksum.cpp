#include "audit/checksum.hpp"

#include <bit>
#include <cstring>

#include "audit/lists.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dbc::audit {

namespace {

constexpr std::uint64_t kPow2 = 33 * 33;
constexpr std::uint64_t kPow4 = kPow2 * kPow2;
constexpr std::uint64_t kPow8 = kPow4 * kPow4;
constexpr std::uint64_t kPow16 = kPow8 * kPow8;

// The hash contribution of eight bytes, b0 first: the sum of b_i * 33^(7-i). Built up in lanes
// that cannot overflow (pairs in 16 bits, quadruples in 32 bits), so the result is exact.
inline std::uint64_t chunk8(std::uint64_t w) {
  constexpr std::uint64_t kBytes = 0x00FF00FF00FF00FFull;
  constexpr std::uint64_t kHalves = 0x0000FFFF0000FFFFull;
  std::uint64_t pairs = (w & kBytes) * 33 + ((w >> 8) & kBytes);
  std::uint64_t quads = (pairs & kHalves) * kPow2 + ((pairs >> 16) & kHalves);
  return (quads & 0xFFFFFFFFull) * kPow4 + (quads >> 32);
}

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

std::uint64_t extendChecksum(std::uint64_t chksum, const unsigned char* bytes, std::size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    // Sixteen bytes a step: the two halves are independent, and the chain through `chksum` is
    // one multiply and one add per step.
    for (; n >= 16; n -= 16, bytes += 16) {
      std::uint64_t w[2];
      std::memcpy(w, bytes, 16);
      chksum = chksum * kPow16 + (chunk8(w[0]) * kPow8 + chunk8(w[1]));
    }
    for (; n >= 8; n -= 8, bytes += 8) {
      std::uint64_t w;
      std::memcpy(&w, bytes, 8);
      chksum = chksum * kPow8 + chunk8(w);
    }
  }
  for (; n > 0; --n) chksum = djb2Step(chksum, *bytes++);
  return chksum;
}

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
      chksum = extendChecksum(chksum, p, static_cast<std::size_t>(q - p));
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
