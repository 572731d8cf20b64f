#include "audit/span.hpp"

#include <array>
#include <bit>
#include <cstddef>

#if defined(DBC_X86_VECTORS)
#include <immintrin.h>
#endif

namespace dbc::audit {

const unsigned char* findNotCountedScalar(const unsigned char* p, const unsigned char* end) {
  while (p < end && !notCounted(*p)) ++p;
  return p;
}

const unsigned char* hashSpanScalar(std::uint64_t& chksum, const unsigned char* p,
                                    const unsigned char* end) {
  const unsigned char* q = findNotCountedScalar(p, end);
  chksum = extendChecksumScalar(chksum, p, static_cast<std::size_t>(q - p));
  return q;
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

const unsigned char* hashSpanSse2(std::uint64_t& chksum, const unsigned char* p,
                                  const unsigned char* end) {
  const unsigned char* q = findNotCountedSse2(p, end);
  chksum = extendChecksumSse2(chksum, p, static_cast<std::size_t>(q - p));
  return q;
}

namespace {

// The one pass cannot weigh a byte by its distance from the span's end, which it has not found
// yet; it weighs it by its distance from the start instead, by powers of 33's inverse (33 is odd,
// so it has one modulo 2^64), and multiplies the sum by 33^(n-4) once the length n is known.
// Over groups of four bytes, each holding b0 * 33^3 + b1 * 33^2 + b2 * 33 + b3 (with zeros past
// the end), the span's hash is the sum of group g times 33^(n - 4 - 4g).
constexpr std::uint64_t kInverse33 = [] {
  std::uint64_t x = 33;  // right in its lowest 3 bits; each step doubles the right bits
  for (int i = 0; i < 5; ++i) x *= 2 - 33 * x;
  return x;
}();
static_assert(kInverse33 * 33 == 1);

constexpr std::uint64_t powerOf(std::uint64_t base, unsigned e) {
  std::uint64_t r = 1;
  while (e-- > 0) r *= base;
  return r;
}

// The most bytes summed in the lanes before the sum joins the chain.
constexpr std::size_t kStretch = 256;
constexpr std::size_t kStretchVectors = kStretch / 32;

// 33^e for e from -4 to kStretch, at e + 4.
constexpr std::array<std::uint64_t, kStretch + 5> kPowers = [] {
  std::array<std::uint64_t, kStretch + 5> t{};
  for (unsigned i = 0; i < t.size(); ++i) t[i] = i >= 4 ? pow33(i - 4) : powerOf(kInverse33, 4 - i);
  return t;
}();
inline std::uint64_t power(std::size_t n, int less = 0) { return kPowers[n + 4 - less]; }

// For vector k of a stretch, the weights 33^(-4g) of its groups g: the multiply takes 32 bits of
// each 64-bit lane, so the even and the odd groups come apart, and each weight is split into its
// low and its high half: [even low, even high, odd low, odd high].
struct StartWeights {
  alignas(32) std::uint64_t w[kStretchVectors][4][4];
};
constexpr StartWeights kStartWeights = [] {
  StartWeights t{};
  for (std::size_t k = 0; k < kStretchVectors; ++k)
    for (std::size_t lane = 0; lane < 4; ++lane) {
      auto group = static_cast<unsigned>(8 * k + 2 * lane);
      std::uint64_t even = powerOf(kInverse33, 4 * group);
      std::uint64_t odd = powerOf(kInverse33, 4 * group + 4);
      t.w[k][0][lane] = even & 0xFFFFFFFFu;
      t.w[k][1][lane] = even >> 32;
      t.w[k][2][lane] = odd & 0xFFFFFFFFu;
      t.w[k][3][lane] = odd >> 32;
    }
  return t;
}();

// 0xFF in the first 32 bytes, 0 in the next: the 32 bytes from 32 - t keep a vector's first t.
constexpr std::array<unsigned char, 64> kKeep = [] {
  std::array<unsigned char, 64> t{};
  for (std::size_t i = 0; i < 32; ++i) t[i] = 0xFF;
  return t;
}();

struct Lanes {
  __m256i low, high;
};

__attribute__((target("avx2"))) inline void addVector(Lanes& lanes, __m256i v, std::size_t k) {
  // Unsigned bytes times small signed weights: pairs at most 255 * 34, no saturation.
  const __m256i quads = _mm256_madd_epi16(
      _mm256_maddubs_epi16(v, _mm256_set1_epi16(static_cast<short>(kPairWeights))),
      _mm256_set1_epi32(kQuadWeights));
  const __m256i odd = _mm256_srli_epi64(quads, 32);
  const auto* w = reinterpret_cast<const __m256i*>(kStartWeights.w[k]);
  lanes.low = _mm256_add_epi64(lanes.low, _mm256_mul_epu32(quads, _mm256_load_si256(w)));
  lanes.high = _mm256_add_epi64(lanes.high, _mm256_mul_epu32(quads, _mm256_load_si256(w + 1)));
  lanes.low = _mm256_add_epi64(lanes.low, _mm256_mul_epu32(odd, _mm256_load_si256(w + 2)));
  lanes.high = _mm256_add_epi64(lanes.high, _mm256_mul_epu32(odd, _mm256_load_si256(w + 3)));
}

// The chain continued over the `n` bytes the lanes hold.
__attribute__((target("avx2"))) inline std::uint64_t joined(std::uint64_t chksum, const Lanes& l,
                                                            std::size_t n) {
  // The high halves' products count from bit 32 on; above bit 63 they fall away.
  __m256i sum = _mm256_add_epi64(l.low, _mm256_slli_epi64(l.high, 32));
  __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
  half = _mm_add_epi64(half, _mm_unpackhi_epi64(half, half));
  return chksum * power(n) + power(n, 4) * static_cast<std::uint64_t>(_mm_cvtsi128_si64(half));
}

}  // namespace

__attribute__((target("avx2"))) const unsigned char* hashSpanAvx2(std::uint64_t& chksum,
                                                                  const unsigned char* p,
                                                                  const unsigned char* end) {
  const __m256i marks = _mm256_set1_epi8(static_cast<char>(0xFA));
  const __m256i pair = _mm256_set1_epi8(static_cast<char>(0xFE));
  const __m256i deleted = _mm256_set1_epi8(static_cast<char>(0xFF));
  std::uint64_t h = chksum;
  for (;;) {
    Lanes lanes{_mm256_setzero_si256(), _mm256_setzero_si256()};
    std::size_t k = 0;
    for (; k < kStretchVectors && end - p >= static_cast<std::ptrdiff_t>(32 * (k + 1)); ++k) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k));
      __m256i hit = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_and_si256(v, pair), marks),
                                    _mm256_cmpeq_epi8(v, deleted));
      if (auto mask = static_cast<unsigned>(_mm256_movemask_epi8(hit)); mask != 0) {
        unsigned t = static_cast<unsigned>(std::countr_zero(mask));
        v = _mm256_and_si256(
            v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kKeep.data() + 32 - t)));
        addVector(lanes, v, k);
        std::size_t n = 32 * k + t;
        chksum = joined(h, lanes, n);
        return p + n;
      }
      addVector(lanes, v, k);
    }
    if (k > 0) h = joined(h, lanes, 32 * k);
    p += 32 * k;
    if (k < kStretchVectors) {
      // Less than a vector left before `end`: no load may reach past it.
      const unsigned char* q = findNotCountedScalar(p, end);
      chksum = extendChecksumScalar(h, p, static_cast<std::size_t>(q - p));
      return q;
    }
  }
}

#endif

SpanHasher bestSpanHasher() {
#if defined(DBC_X86_VECTORS)
  if (hasAvx2()) return hashSpanAvx2;
  return hashSpanSse2;
#else
  return hashSpanScalar;
#endif
}

}  // namespace dbc::audit
