#include "recscan/words.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RECSCAN_X86 1
#endif

#include <bit>
#include <initializer_list>

#include "common/format.hpp"

namespace dbc::recscan {

namespace {

// Bit k describes byte k of a word.
struct Masks {
  std::uint64_t special;  // not a plain character
  std::uint64_t marks;    // the record mark
};

// Of the bytes before a given place in a word, record marks left out: their total, and the total
// of each byte times its place counted from 1. The checksum is kept modulo 65536, so the weighted
// total is given modulo 65536 too.
struct Sums {
  std::uint32_t sum;
  std::uint32_t weighted;
};

struct Classes {
  std::uint64_t space;
  std::uint64_t digit;  // digits and the point, when they pair up
};

constexpr std::uint64_t lowBits(unsigned n) {
  return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

template <bool kText>
constexpr unsigned char kMark = kText ? '\n' : kRecordMark;

// The bytes every rule of the scan treats alike: a character that adds one to its record's size
// and enters the checksum. DB/C files: 0x20..0x7F; text files: 0x20 up, but for deleted space.
template <bool kText>
constexpr bool isPlain(unsigned char b) {
  return kText ? b >= 0x20 && b != kTextDeleted : b >= 0x20 && b < 0x80;
}

struct Plain {
  template <bool kText>
  static Masks classify(const unsigned char* p) {
    Masks m{0, 0};
    for (unsigned k = 0; k < 64; ++k) {
      if (!isPlain<kText>(p[k])) m.special |= std::uint64_t{1} << k;
      if (p[k] == kMark<kText>) m.marks |= std::uint64_t{1} << k;
    }
    return m;
  }
  template <bool kText>
  static Sums sums(const unsigned char* p, unsigned len) {
    Sums s{0, 0};
    for (unsigned k = 0; k < len; ++k) {
      const unsigned b = p[k] == kMark<kText> ? 0 : p[k];
      s.sum += b;
      s.weighted += b * (k + 1);
    }
    s.weighted &= 0xFFFF;
    return s;
  }
  static Classes classes(const unsigned char* p, bool digits) { return classes(p, 64, digits); }
  static Classes classes(const unsigned char* p, unsigned len, bool digits) {
    Classes c{0, 0};
    for (unsigned k = 0; k < len; ++k) {
      if (p[k] == ' ') c.space |= std::uint64_t{1} << k;
      if (digits && pairIndex(p[k]) >= 0) c.digit |= std::uint64_t{1} << k;
    }
    return c;
  }
};

#if defined(RECSCAN_X86)
// 64 bytes of 0xFF, then 64 of 0x00: the 64 bytes at kKeep + 64 - n keep the first n of a word.
alignas(64) constexpr unsigned char kKeep[128] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

struct Sse2 {
  static __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  template <bool kText>
  static unsigned special(__m128i v) {
    if constexpr (kText) {
      __m128i atLeast20 = _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(0x20)), v);
      __m128i plain = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)), atLeast20);
      return ~static_cast<unsigned>(_mm_movemask_epi8(plain)) & 0xFFFF;
    } else {
      // Signed, 0x80..0xFF are negative: "greater than 0x1F" is exactly 0x20..0x7F.
      __m128i plain = _mm_cmpgt_epi8(v, _mm_set1_epi8(0x1F));
      return ~static_cast<unsigned>(_mm_movemask_epi8(plain)) & 0xFFFF;
    }
  }
  template <bool kText>
  static Masks classify(const unsigned char* p) {
    Masks m{0, 0};
    const __m128i mark = _mm_set1_epi8(static_cast<char>(kMark<kText>));
    for (unsigned q = 0; q < 4; ++q) {
      __m128i v = load(p + 16 * q);
      m.special |= static_cast<std::uint64_t>(special<kText>(v)) << (16 * q);
      m.marks |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, mark))) << (16 * q);
    }
    return m;
  }
  template <bool kText>
  static Sums sums(const unsigned char* p, unsigned len) {
    const __m128i mark = _mm_set1_epi8(static_cast<char>(kMark<kText>));
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = zero, weighted = zero;
    __m128i w = _mm_setr_epi16(1, 2, 3, 4, 5, 6, 7, 8);
    const __m128i eight = _mm_set1_epi16(8);
    for (unsigned q = 0; q < 4; ++q) {
      __m128i v = load(p + 16 * q);
      v = _mm_andnot_si128(_mm_cmpeq_epi8(v, mark), v);
      v = _mm_and_si128(v, load(kKeep + 64 - len + 16 * q));
      sum = _mm_add_epi64(sum, _mm_sad_epu8(v, zero));
      weighted = _mm_add_epi16(weighted, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), w));
      w = _mm_add_epi16(w, eight);
      weighted = _mm_add_epi16(weighted, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), w));
      w = _mm_add_epi16(w, eight);
    }
    // Lanes of 16 bits summed modulo 65536: signed or not, the low 16 bits agree.
    __m128i t = _mm_madd_epi16(weighted, _mm_set1_epi16(1));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0x4E));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0xB1));
    sum = _mm_add_epi64(sum, _mm_unpackhi_epi64(sum, sum));
    return Sums{static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum)),
                static_cast<std::uint32_t>(_mm_cvtsi128_si32(t)) & 0xFFFF};
  }
  static Classes classes(const unsigned char* p, bool digits) {
    Classes c{0, 0};
    for (unsigned q = 0; q < 4; ++q) {
      __m128i v = load(p + 16 * q);
      c.space |=
          static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(' '))))
          << (16 * q);
      if (digits) {
        __m128i t = _mm_sub_epi8(v, _mm_set1_epi8('0'));
        __m128i d = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t);
        d = _mm_or_si128(d, _mm_cmpeq_epi8(v, _mm_set1_epi8('.')));
        c.digit |= static_cast<std::uint64_t>(_mm_movemask_epi8(d)) << (16 * q);
      }
    }
    return c;
  }
};

#define RECSCAN_AVX2 __attribute__((target("avx2")))

struct Avx2 {
  RECSCAN_AVX2 static __m256i load(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  RECSCAN_AVX2 static std::uint64_t bits(__m256i lo, __m256i hi) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(lo)) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(hi))) << 32;
  }
  template <bool kText>
  RECSCAN_AVX2 static __m256i plain(__m256i v) {
    if constexpr (kText) {
      __m256i atLeast20 = _mm256_cmpeq_epi8(_mm256_max_epu8(v, _mm256_set1_epi8(0x20)), v);
      return _mm256_andnot_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(0x7F)), atLeast20);
    } else {
      return _mm256_cmpgt_epi8(v, _mm256_set1_epi8(0x1F));
    }
  }
  template <bool kText>
  RECSCAN_AVX2 static Masks classify(const unsigned char* p) {
    const __m256i lo = load(p), hi = load(p + 32);
    const __m256i mark = _mm256_set1_epi8(static_cast<char>(kMark<kText>));
    return Masks{~bits(plain<kText>(lo), plain<kText>(hi)),
                 bits(_mm256_cmpeq_epi8(lo, mark), _mm256_cmpeq_epi8(hi, mark))};
  }
  template <bool kText>
  RECSCAN_AVX2 static Sums sums(const unsigned char* p, unsigned len) {
    const __m256i mark = _mm256_set1_epi8(static_cast<char>(kMark<kText>));
    __m256i lo = load(p), hi = load(p + 32);
    lo = _mm256_and_si256(_mm256_andnot_si256(_mm256_cmpeq_epi8(lo, mark), lo),
                          load(kKeep + 64 - len));
    hi = _mm256_and_si256(_mm256_andnot_si256(_mm256_cmpeq_epi8(hi, mark), hi),
                          load(kKeep + 96 - len));
    const __m256i zero = _mm256_setzero_si256();
    __m256i sum = _mm256_add_epi64(_mm256_sad_epu8(lo, zero), _mm256_sad_epu8(hi, zero));
    // Byte times weight, pairs added: at most 255 * (63 + 64), inside a signed 16-bit lane.
    const __m256i w1 = _mm256_setr_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                        18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32);
    const __m256i w2 = _mm256_add_epi8(w1, _mm256_set1_epi8(32));
    __m256i weighted = _mm256_add_epi16(_mm256_maddubs_epi16(lo, w1), _mm256_maddubs_epi16(hi, w2));
    __m128i t =
        _mm_add_epi16(_mm256_castsi256_si128(weighted), _mm256_extracti128_si256(weighted, 1));
    t = _mm_madd_epi16(t, _mm_set1_epi16(1));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0x4E));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0xB1));
    __m128i s = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    s = _mm_add_epi64(s, _mm_unpackhi_epi64(s, s));
    return Sums{static_cast<std::uint32_t>(_mm_cvtsi128_si32(s)),
                static_cast<std::uint32_t>(_mm_cvtsi128_si32(t)) & 0xFFFF};
  }
  RECSCAN_AVX2 static __m256i digitsOf(__m256i v) {
    __m256i t = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
    __m256i d = _mm256_cmpeq_epi8(_mm256_min_epu8(t, _mm256_set1_epi8(9)), t);
    return _mm256_or_si256(d, _mm256_cmpeq_epi8(v, _mm256_set1_epi8('.')));
  }
  RECSCAN_AVX2 static Classes classes(const unsigned char* p, bool digits) {
    const __m256i lo = load(p), hi = load(p + 32);
    const __m256i blank = _mm256_set1_epi8(' ');
    Classes c{bits(_mm256_cmpeq_epi8(lo, blank), _mm256_cmpeq_epi8(hi, blank)), 0};
    if (digits) c.digit = bits(digitsOf(lo), digitsOf(hi));
    return c;
  }
};
#endif

// Whether the record ending at `end` (its mark's offset + 1) sits on the grid of `grid` bytes.
inline bool onGrid(std::int64_t end, std::int64_t grid, std::int64_t& gridEnd) {
  if (!(gridEnd >= 0 && end - gridEnd == grid) && end % grid != 0) return false;
  gridEnd = end;
  return true;
}

// A mark at file offset `pos` ends a record of `recsiz` characters.
template <bool kText>
inline void endOfRecord(RecordRun& r, std::int64_t recsiz, std::int64_t pos, std::int64_t grid) {
  r.reccnt++;
  if constexpr (kText) {
    // Only a line as long as the first is held to the first line's grid.
    if (r.recsiz2 > 0 && recsiz == r.recsiz2 && !r.offset &&
        !onGrid(pos + 1, r.recsiz2 + 1, r.gridEnd)) {
      r.offset = true;
    }
    if (r.recsiz2 == -1) r.recsiz2 = recsiz;
  } else {
    if (grid > 1 && !r.offset && !onGrid(pos + 1, grid, r.gridEnd)) r.offset = true;
  }
  closeRecord(recsiz, r.minsiz, r.maxsiz, r.fstsiz);
}

// Byte k of a word is data byte rp + k + 1 of its record, until a mark at j starts a record
// whose bytes k are its data bytes k - j: rp becomes -(j + 1). So each word adds
// rp * (its sum) + (its weighted sum), and each mark in it moves the sum of the bytes after it
// from the old rp to the new.
template <bool kText, class E>
inline std::size_t runWords(const unsigned char* b, std::size_t i, std::size_t n, RecordRun& r,
                            const MarkRules& rules) {
  std::uint32_t chk = r.chksum;
  std::int64_t rp = r.recpos;
  std::int64_t extra = r.recsiz - r.recpos;  // characters of the record beyond its data bytes
  while (i + 64 <= n) {
    const Masks m = E::template classify<kText>(b + i);
    const std::uint64_t marks = rules.marks ? m.marks : 0;
    const std::uint64_t stop = m.special & ~marks;
    const unsigned len = stop != 0 ? static_cast<unsigned>(std::countr_zero(stop)) : 64;
    if (len == 0) break;
    const Sums s = E::template sums<kText>(b + i, len);
    chk += static_cast<std::uint32_t>(rp) * s.sum + s.weighted;
    for (std::uint64_t left = marks & lowBits(len); left != 0; left &= left - 1) {
      const auto j = static_cast<unsigned>(std::countr_zero(left));
      const std::int64_t next = -static_cast<std::int64_t>(j) - 1;
      const std::uint32_t after = s.sum - E::template sums<kText>(b + i, j).sum;
      chk += static_cast<std::uint32_t>(next - rp) * after;
      endOfRecord<kText>(r, extra + rp + j, rules.curpos + static_cast<std::int64_t>(i + j),
                         rules.grid);
      extra = 0;
      rp = next;
    }
    rp += len;
    i += len;
    if (len < 64) break;
  }
  r.chksum = static_cast<std::uint16_t>(chk);
  r.recpos = rp;
  r.recsiz = extra + rp;
  return i;
}

// The spaces counted at places c .. c + lead - 1 of a run: its first two, and the first two
// after each 248 (c < 248 and lead <= 64, so only 0, 1, 248 and 249 can fall inside).
inline unsigned spacesCounted(unsigned c, unsigned lead) {
  unsigned n = 0;
  for (unsigned t : {0u, 1u, 248u, 249u}) n += t >= c && t < c + lead ? 1 : 0;
  return n;
}

// One word of `len` bytes: a run of spaces adds 1 for its first space and 1 for its second (and
// again after each 248), a run of digits 1 for every first of a pair, any other byte 1.
inline void estimateWord(EagerEstimate& e, const Classes& c, unsigned len) {
  const std::uint64_t s = c.space, d = c.digit;
  // The run of spaces at the start goes on from the word before.
  const auto lead = static_cast<unsigned>(std::countr_one(s));
  std::uint64_t adds = spacesCounted(e.run, lead);
  const std::uint64_t rest = s & ~lowBits(lead);
  const std::uint64_t starts = rest & ~(s << 1);
  adds += static_cast<unsigned>(std::popcount(starts) + std::popcount(rest & (starts << 1)));
  // Runs of digits that begin at an even place pair from there, the others from the odd place
  // after; a run going on from the word before begins at place 0, or at -1 when a digit waits.
  constexpr std::uint64_t kEven = 0x5555555555555555ULL;
  std::uint64_t dstarts = d & ~(d << 1);
  if (e.pend) dstarts &= ~std::uint64_t{1};
  const std::uint64_t carried = d + (dstarts & kEven);  // clears exactly the even-begun runs
  const std::uint64_t firsts = (d & ~carried & kEven) | (d & carried & ~kEven);
  adds += static_cast<unsigned>(std::popcount(firsts) + std::popcount(lowBits(len) & ~(s | d)));
  e.total += static_cast<std::int64_t>(adds);
  const std::uint64_t last = std::uint64_t{1} << (len - 1);
  e.pend = (firsts & last) != 0;
  if ((s & last) == 0) {
    e.run = 0;
  } else {
    const auto tail = static_cast<unsigned>(std::countl_one(s << (64 - len)));
    e.run = tail == len ? (e.run + len) % kMaxSpaceRun : tail;
  }
}

template <class E>
inline void estimateAll(const unsigned char* p, std::size_t n, bool digits, EagerEstimate& e) {
  std::size_t k = 0;
  for (; k + 64 <= n; k += 64) estimateWord(e, E::classes(p + k, digits), 64);
  if (k < n) {
    const auto len = static_cast<unsigned>(n - k);
    estimateWord(e, Plain::classes(p + k, len, digits), len);
  }
}

#if defined(RECSCAN_X86)
__attribute__((target("avx2"), flatten)) std::size_t avx2Dbc(const unsigned char* b, std::size_t i,
                                                             std::size_t n, RecordRun& r,
                                                             const MarkRules& rules) {
  return runWords<false, Avx2>(b, i, n, r, rules);
}
__attribute__((target("avx2"), flatten)) std::size_t avx2Text(const unsigned char* b, std::size_t i,
                                                              std::size_t n, RecordRun& r,
                                                              const MarkRules& rules) {
  return runWords<true, Avx2>(b, i, n, r, rules);
}
__attribute__((target("avx2"), flatten)) void avx2Estimate(const unsigned char* p, std::size_t n,
                                                           bool digits, EagerEstimate& e) {
  estimateAll<Avx2>(p, n, digits, e);
}
#endif

}  // namespace

bool engineRuns(Engine engine) {
#if defined(RECSCAN_X86)
  if (engine == Engine::kAvx2) return __builtin_cpu_supports("avx2");
  return true;
#else
  return engine == Engine::kPlain;
#endif
}

Engine bestEngine() {
  if (engineRuns(Engine::kAvx2)) return Engine::kAvx2;
  if (engineRuns(Engine::kSse2)) return Engine::kSse2;
  return Engine::kPlain;
}

template <bool kText>
std::size_t wordRun(Engine engine, const unsigned char* b, std::size_t i, std::size_t n,
                    RecordRun& run, const MarkRules& rules) {
#if defined(RECSCAN_X86)
  if (engine == Engine::kAvx2)
    return kText ? avx2Text(b, i, n, run, rules) : avx2Dbc(b, i, n, run, rules);
  if (engine == Engine::kSse2) return runWords<kText, Sse2>(b, i, n, run, rules);
#endif
  (void)engine;
  return runWords<kText, Plain>(b, i, n, run, rules);
}

template std::size_t wordRun<false>(Engine, const unsigned char*, std::size_t, std::size_t,
                                    RecordRun&, const MarkRules&);
template std::size_t wordRun<true>(Engine, const unsigned char*, std::size_t, std::size_t,
                                   RecordRun&, const MarkRules&);

void estimateWords(Engine engine, const unsigned char* p, std::size_t n, bool digits,
                   EagerEstimate& e) {
#if defined(RECSCAN_X86)
  if (engine == Engine::kAvx2) return avx2Estimate(p, n, digits, e);
  if (engine == Engine::kSse2) return estimateAll<Sse2>(p, n, digits, e);
#endif
  (void)engine;
  estimateAll<Plain>(p, n, digits, e);
}

}  // namespace dbc::recscan
