// The djb2 hash of jrnmake's checksums, in 64 bits, and the ways of running it over many bytes.
// The hash over n bytes is chksum * 33^n + the sum of b_i * 33^(n-1-i), modulo 2^64: a
// polynomial in the bytes, so the bytes can be weighted by powers of 33 in independent lanes and
// summed, with no chain of dependent steps from byte to byte. Every way below gives exactly what
// djb2Step gives byte after byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/simd.hpp"

namespace dbc::audit {

inline constexpr std::uint64_t kChecksumStart = 5381;

// 33^e modulo 2^64.
constexpr std::uint64_t pow33(unsigned e) {
  std::uint64_t r = 1;
  while (e-- > 0) r *= 33;
  return r;
}

// The vector ways first weigh bytes in groups of four: pairs of bytes 33 and 1 (as two bytes
// of a 16-bit lane, or as two 16-bit lanes of a 32-bit one), pairs of pairs 33^2 and 1.
inline constexpr int kPairWeights = (1 << 8) | 33;
inline constexpr int kPairWeightsWide = (1 << 16) | 33;
inline constexpr int kQuadWeights = (1 << 16) | static_cast<int>(pow33(2));

// One step of the hash: chksum * 33 + byte, modulo 2^64.
constexpr std::uint64_t djb2Step(std::uint64_t chksum, unsigned char byte) {
  return (chksum << 5) + chksum + byte;
}

// The hash `chksum` continued over `n` bytes, all of them counted.
using ChecksumExtender = std::uint64_t (*)(std::uint64_t chksum, const unsigned char* bytes,
                                           std::size_t n);

// Plain C++ for every processor: eight bytes a step, sixteen on the chain.
std::uint64_t extendChecksumScalar(std::uint64_t chksum, const unsigned char* bytes, std::size_t n);

#if defined(DBC_X86_VECTORS)
// Sixteen bytes a vector; every x86-64 processor has SSE2. (The AVX2 way hashes as it searches:
// see span.hpp.)
std::uint64_t extendChecksumSse2(std::uint64_t chksum, const unsigned char* bytes, std::size_t n);
#endif

}  // namespace dbc::audit
