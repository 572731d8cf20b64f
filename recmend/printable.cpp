#include "recmend/printable.hpp"

#include <cstdint>

#include "common/simd.hpp"
#include "common/wordscan.hpp"
#include "recmend/options.hpp"
#include "recmend/repair.hpp"

#ifdef DBC_X86_VECTORS
#include <immintrin.h>
#endif

namespace dbc::recmend {
namespace {

// The last byte alone may also be the mark; the rest of the record has been tested by then.
bool lastByteValid(const unsigned char* record, std::size_t size) {
  return valid_byte(record[size - 1], size - 1, size);
}

bool bodyByteByByte(const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] < VALID_START || p[i] > VALID_END) return false;
  }
  return true;
}

}  // namespace

bool record_is_clean_words(const unsigned char* record, std::size_t size) {
  if (size == 0) return true;
  std::size_t body = size - 1;
  std::size_t i = 0;
  // Four words to a step, their verdicts gathered without a branch.
  std::uint64_t bad = 0;
  auto outside = [](const unsigned char* p) {
    return outsideRange<VALID_START, VALID_END>(loadWord(p));
  };
  for (; i + 32 <= body; i += 32) {
    bad |= outside(record + i) | outside(record + i + 8) | outside(record + i + 16) |
           outside(record + i + 24);
  }
  for (; i + 8 <= body; i += 8) bad |= outside(record + i);
  if (bad) return false;
  return bodyByteByByte(record + i, body - i) && lastByteValid(record, size);
}

#ifdef DBC_X86_VECTORS

bool sse2_available() { return true; }

// A block's bytes equal themselves clamped to the range exactly when all lie inside it. The last
// block of the body ends where the body ends and may overlap the one before: testing a byte twice
// costs less than a tail taken a byte at a time.
bool record_is_clean_sse2(const unsigned char* record, std::size_t size) {
  std::size_t body = size == 0 ? 0 : size - 1;
  if (body < 16) return record_is_clean_words(record, size);
  const __m128i low = _mm_set1_epi8(static_cast<char>(VALID_START));
  const __m128i high = _mm_set1_epi8(static_cast<char>(VALID_END));
  auto inside = [&](std::size_t at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(record + at));
    return _mm_cmpeq_epi8(_mm_min_epu8(_mm_max_epu8(v, low), high), v);
  };
  __m128i all = inside(body - 16);
  for (std::size_t i = 0; i + 16 < body; i += 16) all = _mm_and_si128(all, inside(i));
  return _mm_movemask_epi8(all) == 0xFFFF && lastByteValid(record, size);
}

bool avx2_available() { return hasAvx2(); }

// A lambda would not inherit the target, so the block test is a function of its own.
__attribute__((target("avx2"))) inline __m256i inside32(const unsigned char* p) {
  const __m256i low = _mm256_set1_epi8(static_cast<char>(VALID_START));
  const __m256i high = _mm256_set1_epi8(static_cast<char>(VALID_END));
  __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(_mm256_max_epu8(v, low), high), v);
}

__attribute__((target("avx2"))) bool record_is_clean_avx2(const unsigned char* record,
                                                          std::size_t size) {
  std::size_t body = size == 0 ? 0 : size - 1;
  if (body < 32) return record_is_clean_sse2(record, size);
  __m256i all = inside32(record + body - 32);
  for (std::size_t i = 0; i + 32 < body; i += 32) all = _mm256_and_si256(all, inside32(record + i));
  return _mm256_movemask_epi8(all) == -1 && lastByteValid(record, size);
}

#else

bool sse2_available() { return false; }
bool avx2_available() { return false; }
bool record_is_clean_sse2(const unsigned char* record, std::size_t size) {
  return record_is_clean_words(record, size);
}
bool record_is_clean_avx2(const unsigned char* record, std::size_t size) {
  return record_is_clean_words(record, size);
}

#endif

CleanTest fastest_clean_test() {
  return avx2_available() ? record_is_clean_avx2 : record_is_clean_sse2;
}

bool record_is_clean(const unsigned char* record, std::size_t size) {
  return fastest_clean_test()(record, size);
}

}  // namespace dbc::recmend
