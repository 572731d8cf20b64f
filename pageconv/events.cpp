#include "pageconv/events.hpp"

#include <cstring>

#include "common/simd.hpp"
#include "pageconv/scan.hpp"
#include "pageconv/stream.hpp"

#ifdef DBC_X86_VECTORS
#include <immintrin.h>
#endif

namespace dbc::pageconv {

namespace {

// Every search reads whole stretches of 64 bytes: the last, partial one is copied behind a
// filler that is of interest to no search.
class Stretches {
 public:
  const char* at(const char* p, std::size_t n, std::size_t i) {
    if (n - i >= 64) return p + i;
    std::memset(tail_, 'A', sizeof tail_);
    std::memcpy(tail_, p + i, n - i);
    return tail_;
  }

 private:
  char tail_[64];
};

template <std::uint64_t (*kTops)(std::uint64_t)>
std::uint64_t wordStretch(const char* p) {
  std::uint64_t m = 0;
  for (int w = 0; w < 8; ++w) m |= gatherTops(kTops(loadWord(p + 8 * w))) << (8 * w);
  return m;
}

void escapedWords(const char* p, std::size_t n, std::uint64_t* out) {
  Stretches s;
  for (std::size_t i = 0; i < n; i += 64) *out++ = wordStretch<escapedTops>(s.at(p, n, i));
}
constexpr std::uint64_t feedTops(std::uint64_t x) { return ~(differs7(x, '\n') | x) & kByteTops; }
constexpr std::uint64_t formTops(std::uint64_t x) { return ~(differs7(x, '\f') | x) & kByteTops; }

Marks marksWords(const char* q) {
  return {wordStretch<lineEndTops>(q), wordStretch<feedTops>(q), wordStretch<formTops>(q)};
}

void tallyWords(const char* p, std::size_t n, Tally& t) { tallyWith<marksWords>(p, n, t); }

#ifdef DBC_X86_VECTORS

// Below 0x20 as a signed byte takes in every byte from 0x80 up as well.
inline std::uint64_t escapedSse2(const char* p) {
  std::uint64_t m = 0;
  for (int q = 0; q < 4; ++q) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * q));
    __m128i low = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                   _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
    __m128i special = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('{')), _mm_cmpeq_epi8(v, _mm_set1_epi8('}'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')),
                     _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7f))));
    auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(low, special)));
    m |= std::uint64_t{bits} << (16 * q);
  }
  return m;
}

inline Marks marksSse2(const char* p) {
  Marks m{0, 0, 0};
  for (int q = 0; q < 4; ++q) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * q));
    __m128i feeds = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
    __m128i forms = _mm_cmpeq_epi8(v, _mm_set1_epi8('\f'));
    __m128i ends = _mm_or_si128(_mm_or_si128(feeds, forms), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
    auto bits = [&](__m128i x) {
      return std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(x))} << (16 * q);
    };
    m.ends |= bits(ends);
    m.feeds |= bits(feeds);
    m.forms |= bits(forms);
  }
  return m;
}

void escapedSse2All(const char* p, std::size_t n, std::uint64_t* out) {
  Stretches s;
  for (std::size_t i = 0; i < n; i += 64) *out++ = escapedSse2(s.at(p, n, i));
}
void tallySse2(const char* p, std::size_t n, Tally& t) { tallyWith<marksSse2>(p, n, t); }
StreamMarks streamMarksSse2(const char* q) { return {escapedSse2(q), marksSse2(q).ends}; }
void move64(char* to, const char* from) { std::memcpy(to, from, 64); }
void streamSse2(LineRun& run, std::size_t until) {
  streamWith<streamMarksSse2, move64, runSse2>(run, until);
}

// A byte looked up by its low four bits and by its high four bits: it is escaped when the two
// answers share a bit. Bit 1: a control byte but the tab (high 0); bit 2: any low bits (high 1,
// and 8 to F); bit 4: the backslash (5C); bit 8: the braces and DEL (7B, 7D, 7F).
__attribute__((target("avx2"))) inline std::uint64_t escapedAvx2(const char* p) {
  const __m256i byLow = _mm256_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 3, 11, 7, 11, 3, 11,  //
                                         3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 3, 11, 7, 11, 3, 11);
  const __m256i byHigh = _mm256_setr_epi8(1, 2, 0, 0, 0, 4, 0, 8, 2, 2, 2, 2, 2, 2, 2, 2,  //
                                          1, 2, 0, 0, 0, 4, 0, 8, 2, 2, 2, 2, 2, 2, 2, 2);
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  std::uint64_t m = 0;
  for (int h = 0; h < 2; ++h) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * h));
    __m256i low = _mm256_shuffle_epi8(byLow, _mm256_and_si256(v, nibble));
    __m256i high = _mm256_shuffle_epi8(byHigh, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
    __m256i plain = _mm256_cmpeq_epi8(_mm256_and_si256(low, high), _mm256_setzero_si256());
    auto bits = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(plain));
    m |= std::uint64_t{bits} << (32 * h);
  }
  return m;
}

// The byte flags of half `h` of 64 bytes, in their place.
__attribute__((target("avx2"))) inline std::uint64_t bitsAvx2(__m256i flags, int h) {
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(flags))} << (32 * h);
}

// A byte looked up by its low four bits is a line end when the table gives back the byte itself:
// the table holds the three line ends in their places and elsewhere 0xFF, which no byte looked up
// can equal, as a byte from 0x80 up looks up 0.
__attribute__((target("avx2"))) inline Marks marksAvx2(const char* p) {
  const __m256i ends =
      _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, '\n', -1, '\f', '\r', -1, -1,  //
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, '\n', -1, '\f', '\r', -1, -1);
  Marks m{0, 0, 0};
  for (int h = 0; h < 2; ++h) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * h));
    m.ends |= bitsAvx2(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(ends, v), v), h);
    m.feeds |= bitsAvx2(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n')), h);
    m.forms |= bitsAvx2(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\f')), h);
  }
  return m;
}

__attribute__((target("avx2"))) void escapedAvx2All(const char* p, std::size_t n,
                                                    std::uint64_t* out) {
  Stretches s;
  for (std::size_t i = 0; i < n; i += 64) *out++ = escapedAvx2(s.at(p, n, i));
}
// With the bit counts of BMI1, LZCNT and POPCNT, which every processor with AVX2 has.
__attribute__((target("avx2,bmi,lzcnt,popcnt"))) void tallyAvx2(const char* p, std::size_t n,
                                                                Tally& t) {
  tallyWith<marksAvx2>(p, n, t);
}
// As escapedAvx2, with the top bit for the line ends (0A, 0C, 0D), which movemask takes as is.
__attribute__((target("avx2"))) inline StreamMarks streamMarksAvx2(const char* p) {
  constexpr char kA = static_cast<char>(0x83), kC = static_cast<char>(0x87),
                 kD = static_cast<char>(0x8b), k0 = static_cast<char>(0x81);
  const __m256i byLow = _mm256_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 3, 2, kA, 11, kC, kD, 3, 11,  //
                                         3, 3, 3, 3, 3, 3, 3, 3, 3, 2, kA, 11, kC, kD, 3, 11);
  const __m256i byHigh = _mm256_setr_epi8(k0, 2, 0, 0, 0, 4, 0, 8, 2, 2, 2, 2, 2, 2, 2, 2,  //
                                          k0, 2, 0, 0, 0, 4, 0, 8, 2, 2, 2, 2, 2, 2, 2, 2);
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  StreamMarks m{0, 0};
  for (int h = 0; h < 2; ++h) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * h));
    __m256i low = _mm256_shuffle_epi8(byLow, _mm256_and_si256(v, nibble));
    __m256i high = _mm256_shuffle_epi8(byHigh, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
    __m256i cls = _mm256_and_si256(low, high);
    m.escaped |= ~bitsAvx2(_mm256_cmpeq_epi8(cls, _mm256_setzero_si256()), h) &
                 (std::uint64_t{0xFFFFFFFF} << (32 * h));
    m.ends |= bitsAvx2(cls, h);
  }
  return m;
}
__attribute__((target("avx2"))) inline void move64Avx2(char* to, const char* from) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 32));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), a);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 32), b);
}
__attribute__((target("avx2,bmi"))) void streamAvx2(LineRun& run, std::size_t until) {
  streamWith<streamMarksAvx2, move64Avx2, runAvx2>(run, until);
}

#endif

}  // namespace

std::vector<Finders> availableFinders() {
  std::vector<Finders> all{{"words", escapedWords, tallyWords, lineWords, runWords}};
#ifdef DBC_X86_VECTORS
  all.push_back({"sse2", escapedSse2All, tallySse2, lineSse2, streamSse2});
  if (hasAvx2()) all.push_back({"avx2", escapedAvx2All, tallyAvx2, lineAvx2, streamAvx2});
#endif
  return all;
}

const Finders& bestFinders() {
  static const Finders best = availableFinders().back();
  return best;
}

}  // namespace dbc::pageconv
