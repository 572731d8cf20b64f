#include "audit/djb2.hpp"

#include <array>
#include <bit>
#include <cstring>

#if defined(DBC_X86_VECTORS)
#include <immintrin.h>
#endif

namespace dbc::audit {

namespace {

constexpr std::uint64_t kPow2 = pow33(2);
constexpr std::uint64_t kPow4 = pow33(4);
constexpr std::uint64_t kPow8 = pow33(8);
constexpr std::uint64_t kPow16 = pow33(16);

// The hash contribution of eight bytes, b0 first: the sum of b_i * 33^(7-i). Built up in lanes
// that cannot overflow (pairs in 16 bits, quadruples in 32 bits), so the result is exact.
inline std::uint64_t chunk8(std::uint64_t w) {
  constexpr std::uint64_t kBytes = 0x00FF00FF00FF00FFull;
  constexpr std::uint64_t kHalves = 0x0000FFFF0000FFFFull;
  std::uint64_t pairs = (w & kBytes) * 33 + ((w >> 8) & kBytes);
  std::uint64_t quads = (pairs & kHalves) * kPow2 + ((pairs >> 16) & kHalves);
  return (quads & 0xFFFFFFFFull) * kPow4 + (quads >> 32);
}

}  // namespace

std::uint64_t extendChecksumScalar(std::uint64_t chksum, const unsigned char* bytes,
                                   std::size_t n) {
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

#if defined(DBC_X86_VECTORS)

namespace {

// The longest stretch whose vectors are weighted and summed before it joins the chain.
constexpr std::size_t kSpan = 256;

// For the sixteen-byte vector that ends m vectors before the end of a stretch (m = 0 for the
// last), the weights of its four-byte groups: the power of 33 that the group's last byte is worth.
// The multiply takes 32 bits of each 64-bit lane, so the even and the odd groups come apart, and
// each weight is split into its low and its high half: [even low, even high, odd low, odd high].
struct Weights {
  alignas(16) std::uint64_t w[kSpan / 16][4][2];
};

constexpr Weights kSse2Weights = [] {
  Weights t{};
  for (std::size_t m = 0; m < kSpan / 16; ++m) {
    for (std::size_t k = 0; k < 2; ++k) {
      std::uint64_t even = pow33(static_cast<unsigned>(16 * m + 12 - 8 * k));
      std::uint64_t odd = pow33(static_cast<unsigned>(16 * m + 8 - 8 * k));
      t.w[m][0][k] = even & 0xFFFFFFFFu;
      t.w[m][1][k] = even >> 32;
      t.w[m][2][k] = odd & 0xFFFFFFFFu;
      t.w[m][3][k] = odd >> 32;
    }
  }
  return t;
}();

constexpr std::array<std::uint64_t, 8> kSmallPowers = [] {
  std::array<std::uint64_t, 8> t{};
  for (unsigned j = 0; j < t.size(); ++j) t[j] = pow33(j);
  return t;
}();

// The hash continued over the `head` bytes (fewer than a vector) before the whole vectors that
// make up the rest of the `n` bytes; `n` is at least 8 more than `head`. The first head % 8 bytes
// go in one step: a word loaded from the start and shifted so that the bytes after them fall
// out, the ones that stay weighted as the last bytes of a word.
inline std::uint64_t extendHead(std::uint64_t chksum, const unsigned char*& bytes,
                                std::size_t head) {
  const unsigned char* end = bytes + head;
  std::uint64_t w;
  if (std::size_t odd = head % 8; odd > 0) {
    std::memcpy(&w, bytes, 8);
    chksum = chksum * kSmallPowers[odd] + chunk8(w << (8 * (8 - odd)));
    bytes += odd;
  }
  for (; bytes < end; bytes += 8) {
    std::memcpy(&w, bytes, 8);
    chksum = chksum * kPow8 + chunk8(w);
  }
  return chksum;
}

// 33^(16 j): what the chain is multiplied by for a stretch of j sixteen-byte vectors.
constexpr std::array<std::uint64_t, kSpan / 16 + 1> kStretchPowers = [] {
  std::array<std::uint64_t, kSpan / 16 + 1> t{};
  for (std::size_t j = 0; j < t.size(); ++j) t[j] = pow33(static_cast<unsigned>(16 * j));
  return t;
}();

}  // namespace

std::uint64_t extendChecksumSse2(std::uint64_t chksum, const unsigned char* bytes, std::size_t n) {
  // The bytes before the last whole vectors go the plain way, so no load reaches outside.
  if (n < 16) return extendChecksumScalar(chksum, bytes, n);
  std::size_t head = n % 16;
  chksum = extendHead(chksum, bytes, head);
  n -= head;
  const __m128i zero = _mm_setzero_si128();
  const __m128i pairWeights = _mm_set1_epi32(kPairWeightsWide);
  const __m128i quadWeights = _mm_set1_epi32(kQuadWeights);
  while (n > 0) {
    std::size_t vectors = n / 16 < kSpan / 16 ? n / 16 : kSpan / 16;
    __m128i low = zero, high = zero;
    for (std::size_t i = 0; i < vectors; ++i) {
      const auto& w = kSse2Weights.w[vectors - 1 - i];
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i));
      // Each byte in 16 bits; pairs (at most 255 * 34) fit back into 16 bits for the next step.
      __m128i pairs = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(v, zero), pairWeights),
                                      _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), pairWeights));
      __m128i quads = _mm_madd_epi16(pairs, quadWeights);
      __m128i odd = _mm_srli_epi64(quads, 32);
      const auto* weight = reinterpret_cast<const __m128i*>(w);
      low = _mm_add_epi64(low, _mm_mul_epu32(quads, _mm_load_si128(weight)));
      high = _mm_add_epi64(high, _mm_mul_epu32(quads, _mm_load_si128(weight + 1)));
      low = _mm_add_epi64(low, _mm_mul_epu32(odd, _mm_load_si128(weight + 2)));
      high = _mm_add_epi64(high, _mm_mul_epu32(odd, _mm_load_si128(weight + 3)));
    }
    // The high halves' products count from bit 32 on; above bit 63 they fall away.
    __m128i sum = _mm_add_epi64(low, _mm_slli_epi64(high, 32));
    sum = _mm_add_epi64(sum, _mm_unpackhi_epi64(sum, sum));
    chksum = chksum * kStretchPowers[vectors] + static_cast<std::uint64_t>(_mm_cvtsi128_si64(sum));
    bytes += 16 * vectors;
    n -= 16 * vectors;
  }
  return chksum;
}

#endif

}  // namespace dbc::audit
