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
// Sixteen bytes a vector; every x86-64 processor has SSE2.
std::uint64_t extendChecksumSse2(std::uint64_t chksum, const unsigned char* bytes, std::size_t n);
// Thirty-two bytes a vector; only for a processor that has AVX2.
std::uint64_t extendChecksumAvx2(std::uint64_t chksum, const unsigned char* bytes, std::size_t n);
#endif

// The fastest of the above that this processor runs.
ChecksumExtender bestChecksumExtender();

// The hash continued the fastest way there is.
std::uint64_t extendChecksum(std::uint64_t chksum, const unsigned char* bytes, std::size_t n);

}  // namespace dbc::audit
