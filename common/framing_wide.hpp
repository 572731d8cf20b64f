// dbc::findRecordEnd sixteen bytes at a time. A tag holds a space run in front of each of its
// numbers, and the eight-byte search stops at every run marker and starts again after its count
// byte; here one vector compare flags every marker and terminator of sixteen bytes, and the
// flags are walked in order, each marker's count byte passed over as the plain search does.
#pragma once

#include <cstddef>

#include "common/framing.hpp"
#include "common/simd.hpp"

#ifdef DBC_X86_VECTORS
#include <emmintrin.h>
#endif

namespace dbc {

// What findRecordEnd(b, from, len) returns, with the same contract.
inline RecordEnd findRecordEndWide(const unsigned char* b, std::size_t from, std::size_t len) {
#ifdef DBC_X86_VECTORS
  std::size_t i = from;
  const __m128i run = _mm_set1_epi8(static_cast<char>(kSpaceRun));
  const __m128i mark = _mm_set1_epi8(static_cast<char>(kRecordMark));
  const __m128i eof = _mm_set1_epi8(static_cast<char>(kEofMark));
  const __m128i lineFeed = _mm_set1_epi8('\n');
  while (i + 16 <= len) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const unsigned runs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, run)));
    const unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, mark), _mm_cmpeq_epi8(v, eof)),
                     _mm_cmpeq_epi8(v, lineFeed))));
    std::size_t live = i;  // the bytes before it are taken: a count byte is no terminator
    for (unsigned m = runs | ends; m != 0; m &= m - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(m));
      if (at < live) continue;
      if ((runs >> (at - i)) & 1u) {
        if (at + 1 == len) return {false, at};
        live = at + 2;
        continue;
      }
      return {true, at};
    }
    i = live > i + 16 ? live : i + 16;
  }
  return findRecordEnd(b, i, len);
#else
  return findRecordEnd(b, from, len);
#endif
}

}  // namespace dbc
