// A span: the counted bytes of a record up to the next byte that is not counted. jrnmake's walk
// is a chain of spans, each hashed onto the checksum of its record; the ways below find a span's
// end and hash it, the widest in the same pass over the bytes.
#pragma once

#include <cstdint>

#include "audit/djb2.hpp"
#include "common/format.hpp"
#include "common/simd.hpp"

namespace dbc::audit {

// True for the bytes that are not part of a record's checksum: the record mark, the end-of-file
// mark and deleted space.
constexpr bool notCounted(unsigned char b) {
  return b == dbc::kRecordMark || b == dbc::kEofMark || b == dbc::kDeleted;
}

// The first byte at or after `p` that is not counted, or `end`; each way finds the same byte.
const unsigned char* findNotCountedScalar(const unsigned char* p, const unsigned char* end);
#if defined(DBC_X86_VECTORS)
const unsigned char* findNotCountedSse2(const unsigned char* p, const unsigned char* end);
#endif

// The span from `p` (to the first byte not counted, or `end`) hashed onto `chksum`; returns the
// span's end. An empty span leaves `chksum` as it was. Every way gives the same.
using SpanHasher = const unsigned char* (*)(std::uint64_t& chksum, const unsigned char* p,
                                            const unsigned char* end);
const unsigned char* hashSpanScalar(std::uint64_t& chksum, const unsigned char* p,
                                    const unsigned char* end);
#if defined(DBC_X86_VECTORS)
// The end found, then the bytes hashed, sixteen at a time.
const unsigned char* hashSpanSse2(std::uint64_t& chksum, const unsigned char* p,
                                  const unsigned char* end);
// One pass of 32-byte vectors that looks for the end and hashes as it goes; only for a processor
// that has AVX2.
const unsigned char* hashSpanAvx2(std::uint64_t& chksum, const unsigned char* p,
                                  const unsigned char* end);
#endif
// The fastest of them this processor runs.
SpanHasher bestSpanHasher();

}  // namespace dbc::audit
