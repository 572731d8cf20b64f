#include "recscan/words.hpp"

#include "common/simd.hpp"

#ifdef DBC_X86_VECTORS
#include <immintrin.h>
#endif

#include <bit>

#include "common/format.hpp"

namespace dbc::recscan {

namespace {

// A run of plain characters from a given byte: its length, and whether it ends at a special
// byte (at `len`) or at the last whole chunk of the bytes given.
struct Run {
  std::size_t len;
  bool stopped;
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

// The vector engines take runs in chunks and stop before a chunk that would pass the bytes
// given; the byte rules take the rest.
// Each engine adds a run's part of the checksum to an accumulator: byte k of a run that begins
// after data byte rp of its record adds its value times (rp + k + 1), modulo 65536.
struct Plain {
  using Acc = std::uint32_t;
  static Acc start() { return 0; }
  static std::uint32_t total(const Acc& acc) { return acc; }
  template <bool kText>
  static Run run(const unsigned char* p, std::size_t avail, std::int64_t rp, Acc& acc) {
    Run r{0, false};
    auto place = static_cast<std::uint32_t>(rp);
    for (; r.len < avail; ++r.len) {
      if (!isPlain<kText>(p[r.len])) {
        r.stopped = true;
        break;
      }
      acc += p[r.len] * ++place;
    }
    return r;
  }
  static Classes classes(const unsigned char* p, bool digits) { return classes(p, 64, digits); }
  template <bool kDigits>
  static std::size_t settled(const unsigned char*, std::size_t k, std::size_t, EagerEstimate&) {
    return k;
  }
  static Classes classes(const unsigned char* p, unsigned len, bool digits) {
    Classes c{0, 0};
    for (unsigned k = 0; k < len; ++k) {
      if (p[k] == ' ') c.space |= std::uint64_t{1} << k;
      if (digits && pairIndex(p[k]) >= 0) c.digit |= std::uint64_t{1} << k;
    }
    return c;
  }
};

#if defined(DBC_X86_VECTORS)
// 64 bytes of 0xFF, then 64 of 0x00: the 64 bytes at kKeep + 64 - n keep the first n of a word.
alignas(64) constexpr unsigned char kKeep[128] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The run both vector engines take, chunk by chunk. Chunk q of a run adds (its bytes times
// their places 1..kWidth within it) + (rp + kWidth q) * (its total). `before` gathers the totals
// of the chunks before each one; over the run, the sum of q * (total q) is (chunks - 1) * total -
// before, and the last chunk begins at kWidth (chunks - 1). The products and sums are taken
// modulo 2^32 in lanes of 64 bits, the weighted bytes modulo 65536 in lanes of 16.
template <class V, bool kText>
inline Run chunkedRun(const unsigned char* p, std::size_t avail, std::int64_t rp,
                      typename V::Acc& acc) {
  if (avail < V::kWidth) return Run{0, false};
  typename V::Totals totals = V::zeroTotals();
  const std::size_t last = avail - V::kWidth;
  std::size_t k = 0;
  unsigned stop;
  // Whole chunks with one test and one branch back each; the chunk with the stop is the rare one.
  while ((stop = V::template special<kText>(p + k)) == 0) {
    V::add(totals, acc, p + k, V::kWidth);
    if (k + V::kWidth > last) {
      V::close(totals, acc, static_cast<std::uint32_t>(rp) + static_cast<std::uint32_t>(k));
      return Run{k + V::kWidth, false};
    }
    k += V::kWidth;
  }
  const auto take = static_cast<unsigned>(std::countr_zero(stop));
  V::add(totals, acc, p + k, take);
  V::close(totals, acc, static_cast<std::uint32_t>(rp) + static_cast<std::uint32_t>(k));
  return Run{k + take, true};
}

struct Sse2 {
  static __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  template <bool kText>
  static unsigned special(const unsigned char* p) {
    const __m128i v = load(p);
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
  static constexpr std::size_t kWidth = 16;
  struct Acc {
    __m128i x, w;
  };
  struct Totals {
    __m128i sum, before;
  };
  static Acc start() { return Acc{_mm_setzero_si128(), _mm_setzero_si128()}; }
  static Totals zeroTotals() { return Totals{_mm_setzero_si128(), _mm_setzero_si128()}; }
  static std::uint32_t total(const Acc& acc) { return lanes64(acc.x) + lanes16(acc.w); }
  // The chunk's first `take` bytes.
  static void add(Totals& t, Acc& acc, const unsigned char* p, unsigned take) {
    __m128i v = load(p);
    if (take < kWidth) v = _mm_and_si128(v, load(kKeep + 64 - take));
    const __m128i zero = _mm_setzero_si128();
    t.before = _mm_add_epi64(t.before, t.sum);
    t.sum = _mm_add_epi64(t.sum, _mm_sad_epu8(v, zero));
    const __m128i w1 = _mm_setr_epi16(1, 2, 3, 4, 5, 6, 7, 8);
    const __m128i w2 = _mm_setr_epi16(9, 10, 11, 12, 13, 14, 15, 16);
    acc.w = _mm_add_epi16(acc.w, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), w1));
    acc.w = _mm_add_epi16(acc.w, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), w2));
  }
  // The run's (rp + 16 q) * (total q), chunk by chunk, with m = rp + 16 (chunks - 1).
  static void close(const Totals& t, Acc& acc, std::uint32_t m) {
    const __m128i part = _mm_sub_epi64(_mm_mul_epu32(t.sum, _mm_set1_epi32(static_cast<int>(m))),
                                       _mm_slli_epi64(t.before, 4));
    acc.x = _mm_add_epi64(acc.x, part);
  }
  template <bool kText>
  static Run run(const unsigned char* p, std::size_t avail, std::int64_t rp, Acc& acc) {
    return chunkedRun<Sse2, kText>(p, avail, rp, acc);
  }
  static std::uint32_t lanes64(__m128i v) {
    return static_cast<std::uint32_t>(
        _mm_cvtsi128_si32(_mm_add_epi64(v, _mm_unpackhi_epi64(v, v))));
  }
  // Lanes of 16 bits summed modulo 65536: signed or not, the low 16 bits agree.
  static std::uint32_t lanes16(__m128i v) {
    __m128i t = _mm_madd_epi16(v, _mm_set1_epi16(1));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0x4E));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0xB1));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(t));
  }
  template <bool kDigits>
  static std::size_t settled(const unsigned char*, std::size_t k, std::size_t, EagerEstimate&) {
    return k;
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

#define RECSCAN_AVX2 __attribute__((target("avx2,bmi")))

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
  // As Sse2, 32 bytes a chunk: byte times place, pairs added, is at most 255 * 63.
  static constexpr std::size_t kWidth = 32;
  template <bool kText>
  RECSCAN_AVX2 static unsigned special(const unsigned char* p) {
    return ~static_cast<unsigned>(_mm256_movemask_epi8(plain<kText>(load(p))));
  }
  struct Acc {
    __m256i x, w;
  };
  struct Totals {
    __m256i sum, before;
  };
  RECSCAN_AVX2 static Acc start() { return Acc{_mm256_setzero_si256(), _mm256_setzero_si256()}; }
  RECSCAN_AVX2 static Totals zeroTotals() {
    return Totals{_mm256_setzero_si256(), _mm256_setzero_si256()};
  }
  RECSCAN_AVX2 static std::uint32_t total(const Acc& acc) {
    return lanes64(acc.x) + lanes16(acc.w);
  }
  RECSCAN_AVX2 static void add(Totals& t, Acc& acc, const unsigned char* p, unsigned take) {
    __m256i v = load(p);
    if (take < kWidth) v = _mm256_and_si256(v, load(kKeep + 64 - take));
    const __m256i w = _mm256_setr_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                       18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32);
    t.before = _mm256_add_epi64(t.before, t.sum);
    t.sum = _mm256_add_epi64(t.sum, _mm256_sad_epu8(v, _mm256_setzero_si256()));
    acc.w = _mm256_add_epi16(acc.w, _mm256_maddubs_epi16(v, w));
  }
  RECSCAN_AVX2 static void close(const Totals& t, Acc& acc, std::uint32_t m) {
    const __m256i part =
        _mm256_sub_epi64(_mm256_mul_epu32(t.sum, _mm256_set1_epi32(static_cast<int>(m))),
                         _mm256_slli_epi64(t.before, 5));
    acc.x = _mm256_add_epi64(acc.x, part);
  }
  template <bool kText>
  RECSCAN_AVX2 static Run run(const unsigned char* p, std::size_t avail, std::int64_t rp,
                              Acc& acc) {
    return chunkedRun<Avx2, kText>(p, avail, rp, acc);
  }
  RECSCAN_AVX2 static std::uint32_t lanes64(__m256i v) {
    __m128i t = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return static_cast<std::uint32_t>(
        _mm_cvtsi128_si32(_mm_add_epi64(t, _mm_unpackhi_epi64(t, t))));
  }
  RECSCAN_AVX2 static std::uint32_t lanes16(__m256i v) {
    __m128i t = _mm_add_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    t = _mm_madd_epi16(t, _mm_set1_epi16(1));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0x4E));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0xB1));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(t));
  }
  // '.' to '9' moved to the lowest twelve signed bytes, then '/' taken out.
  RECSCAN_AVX2 static __m256i digitsOf(__m256i v) {
    const __m256i t = _mm256_add_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80 - '.')));
    const __m256i d = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(0x80 + 12)), t);
    return _mm256_andnot_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('/')), d);
  }
  // Counts a byte 0xFF in `m` into the lanes of `acc`, a byte 0x00 not.
  RECSCAN_AVX2 static __m256i count(__m256i acc, __m256i m) { return _mm256_sub_epi8(acc, m); }
  // The spaces that count (the first two of a run: not after two spaces) and the bytes of no class,
  // 32 bytes from p; the two bytes before p are there to look at.
  RECSCAN_AVX2 static __m256i counted(const unsigned char* p, __m256i v, __m256i digit) {
    const __m256i blank = _mm256_set1_epi8(' ');
    const __m256i space = _mm256_cmpeq_epi8(v, blank);
    const __m256i third = _mm256_and_si256(_mm256_cmpeq_epi8(load(p - 1), blank),
                                           _mm256_cmpeq_epi8(load(p - 2), blank));
    const __m256i other = _mm256_cmpeq_epi8(_mm256_or_si256(space, digit), _mm256_setzero_si256());
    return _mm256_or_si256(_mm256_andnot_si256(third, space), other);
  }
  // While no word is all spaces, no run of spaces reaches 248 and none goes on from the word
  // before beyond what its bytes show, so a space counts exactly when it is not the third or later
  // of its run: the spaces and the bytes of no class are counted in the vector lanes byte by byte,
  // and only the digits' pairing is left to bit arithmetic. Entered after a word not all spaces;
  // returns before the next one that is, or at the last whole word.
  template <bool kDigits>
  RECSCAN_AVX2 static std::size_t settled(const unsigned char* p, std::size_t k, std::size_t n,
                                          EagerEstimate& e) {
    constexpr std::uint64_t kEven = 0x5555555555555555ULL;
    const __m256i zero = _mm256_setzero_si256();
    __m256i acc = zero, sums = zero;
    std::uint64_t pend = e.pend ? 1 : 0, firstsCount = 0;
    const std::size_t from = k;
    for (unsigned words = 0; k + 64 <= n; k += 64) {
      const __m256i lo = load(p + k), hi = load(p + k + 32);
      const __m256i blank = _mm256_set1_epi8(' ');
      const __m256i both =
          _mm256_and_si256(_mm256_cmpeq_epi8(lo, blank), _mm256_cmpeq_epi8(hi, blank));
      if (_mm256_testc_si256(both, _mm256_set1_epi8(-1))) break;
      const __m256i dlo = kDigits ? digitsOf(lo) : zero, dhi = kDigits ? digitsOf(hi) : zero;
      acc = count(count(acc, counted(p + k, lo, dlo)), counted(p + k + 32, hi, dhi));
      if constexpr (kDigits) {
        // As estimateWord's pairing, its carried digit a bit.
        const std::uint64_t d = bits(dlo, dhi);
        const std::uint64_t dstarts = d & ~((d << 1) | pend);
        const std::uint64_t firsts = d & ((d + (dstarts & kEven)) ^ kEven);
        firstsCount += static_cast<std::uint64_t>(std::popcount(firsts));
        pend = firsts >> 63;
      }
      // A lane gains at most 2 a word: gathered before it could pass 255.
      if (++words == 120) {
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(acc, zero));
        acc = zero;
        words = 0;
      }
    }
    if (k == from) return k;
    sums = _mm256_add_epi64(sums, _mm256_sad_epu8(acc, zero));
    e.total += static_cast<std::int64_t>(lanes64full(sums) + firstsCount);
    e.pend = pend != 0;
    const __m256i blank = _mm256_set1_epi8(' ');
    const std::uint64_t s = bits(_mm256_cmpeq_epi8(load(p + k - 64), blank),
                                 _mm256_cmpeq_epi8(load(p + k - 32), blank));
    e.run = static_cast<unsigned>(std::countl_one(s));
    return k;
  }
  RECSCAN_AVX2 static std::uint64_t lanes64full(__m256i v) {
    __m128i t = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return static_cast<std::uint64_t>(
        _mm_cvtsi128_si64(_mm_add_epi64(t, _mm_unpackhi_epi64(t, t))));
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

// A mark at file offset `pos` ends a record of `recsiz` characters: is it on the grid?
template <bool kText>
inline void gridCheck(RecordRun& r, std::int64_t recsiz, std::int64_t pos, std::int64_t grid) {
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
}

// Where the next record of the usual length ends on the grid (and `step`, the grid), or -1 when
// no record is held to it now.
template <bool kText>
inline std::int64_t nextOnGrid(const RecordRun& r, std::int64_t grid, std::int64_t& step) {
  if constexpr (kText) grid = r.recsiz2 > 0 ? r.recsiz2 + 1 : 0;
  step = grid;
  return grid > 1 && !r.offset && r.gridEnd >= 0 ? r.gridEnd + grid : -1;
}

// A record at a time: its run of plain characters, then its mark. A record of the length of the
// one before, ending where the grid says, costs two compares beyond its bytes: its size is
// counted already, and its place on the grid is the last one's and a step.
template <bool kText, class E>
inline std::size_t runRecords(const unsigned char* b, std::size_t i, std::size_t n, RecordRun& out,
                              const MarkRules& rules) {
  RecordRun r = out;  // in locals, not behind a reference the compiler must reload
  std::int64_t extra = r.recsiz - r.recpos;  // characters of the record beyond its data bytes
  std::int64_t lastSize = -2;                // no record has that size
  std::int64_t step;
  std::int64_t expect = nextOnGrid<kText>(r, rules.grid, step);
  typename E::Acc acc = E::start();
  for (;;) {
    const Run run = E::template run<kText>(b + i, n - i, r.recpos, acc);
    r.recpos += static_cast<std::int64_t>(run.len);
    i += run.len;
    if (!run.stopped || !rules.marks || b[i] != kMark<kText>) break;
    const std::int64_t recsiz = extra + r.recpos;
    const std::int64_t end = rules.curpos + static_cast<std::int64_t>(i) + 1;
    r.reccnt++;
    if (end == expect && (!kText || recsiz == r.recsiz2)) {
      r.gridEnd = end;
      expect = end + step;
    } else {
      gridCheck<kText>(r, recsiz, end - 1, rules.grid);
      expect = nextOnGrid<kText>(r, rules.grid, step);
    }
    if (recsiz != lastSize) {
      closeRecord(recsiz, r.minsiz, r.maxsiz, r.fstsiz);
      lastSize = recsiz;
    }
    extra = 0;
    r.recpos = 0;
    ++i;
  }
  r.chksum = static_cast<std::uint16_t>(r.chksum + E::total(acc));
  r.recsiz = extra + r.recpos;
  out = r;
  return i;
}

// One word of `len` bytes. The byte rules add, for a run of spaces, 1 for its first space and 1
// for its second (and again after each 248); for a run of digits, 1 for every first of a pair;
// for any other byte, 1. Those bytes are told apart here by their masks, and counted at once.
inline void estimateWord(EagerEstimate& e, const Classes& c, unsigned len) {
  const std::uint64_t s = c.space, d = c.digit;
  // A run of spaces at bit 0 goes on from the word before when one is open there. The two carried
  // bits by arithmetic, not by tests: whether a word begins inside a run is a coin toss that a
  // branch would lose often.
  const std::uint64_t run = e.run;
  const std::uint64_t open = (run + 0xFFFFFFFFu) >> 32;  // run != 0
  const std::uint64_t single = ((run ^ 1u) - 1u) >> 63;  // run == 1
  const std::uint64_t starts = s & ~((s << 1) | open);
  const std::uint64_t seconds = s & ((starts << 1) | single);
  // Runs of digits that begin at an even place pair from there, the others from the odd place
  // after; a run going on from the word before begins at place 0, or at -1 when a digit waits.
  constexpr std::uint64_t kEven = 0x5555555555555555ULL;
  const std::uint64_t dstarts = d & ~((d << 1) | static_cast<std::uint64_t>(e.pend));
  const std::uint64_t carried = d + (dstarts & kEven);  // clears exactly the even-begun runs
  // Even places in runs that begin even, odd places in the others.
  const std::uint64_t firsts = d & (carried ^ kEven);
  // The four kinds of counted bytes are disjoint.
  const std::uint64_t counted = starts | seconds | firsts | (lowBits(len) & ~(s | d));
  // Only a run going on from the word before can pass 248 spaces here (a word holds 64).
  const unsigned reach = e.run + static_cast<unsigned>(std::countr_one(s));
  e.total += std::popcount(counted) + (reach > 248 ? 1 : 0) + (reach > 249 ? 1 : 0);
  e.pend = ((firsts >> (len - 1)) & 1) != 0;
  // The spaces that end the word (none: 0); all of them: the run from the word before goes on.
  const auto tail = static_cast<unsigned>(std::countl_one(s << (64 - len)));
  e.run = tail < len ? tail : reach >= kMaxSpaceRun ? reach - kMaxSpaceRun : reach;
}

template <class E, bool kDigits>
inline void estimateAllOf(const unsigned char* p, std::size_t n, EagerEstimate& out) {
  EagerEstimate e = out;  // in locals, not behind a reference the compiler must reload
  std::size_t k = 0;
  while (k + 64 <= n) {
    const Classes c = E::classes(p + k, kDigits);
    estimateWord(e, c, 64);
    k += 64;
    // A word not all spaces leaves the state the bytes alone would: the engine may go faster.
    if (c.space != ~std::uint64_t{0}) k = E::template settled<kDigits>(p, k, n, e);
  }
  if (k < n) {
    const auto len = static_cast<unsigned>(n - k);
    estimateWord(e, Plain::classes(p + k, len, kDigits), len);
  }
  out = e;
}

template <class E>
inline void estimateAll(const unsigned char* p, std::size_t n, bool digits, EagerEstimate& e) {
  digits ? estimateAllOf<E, true>(p, n, e) : estimateAllOf<E, false>(p, n, e);
}

#if defined(DBC_X86_VECTORS)
__attribute__((target("avx2,bmi"), flatten)) std::size_t avx2Dbc(const unsigned char* b,
                                                                 std::size_t i, std::size_t n,
                                                                 RecordRun& r,
                                                                 const MarkRules& rules) {
  return runRecords<false, Avx2>(b, i, n, r, rules);
}
__attribute__((target("avx2,bmi"), flatten)) std::size_t avx2Text(const unsigned char* b,
                                                                  std::size_t i, std::size_t n,
                                                                  RecordRun& r,
                                                                  const MarkRules& rules) {
  return runRecords<true, Avx2>(b, i, n, r, rules);
}
__attribute__((target("avx2,bmi"), flatten)) void avx2Estimate(const unsigned char* p,
                                                               std::size_t n, bool digits,
                                                               EagerEstimate& e) {
  estimateAll<Avx2>(p, n, digits, e);
}
#endif

}  // namespace

bool engineRuns(Engine engine) {
#if defined(DBC_X86_VECTORS)
  // Every processor with AVX2 has had BMI1 too, but the engine asks for both.
  if (engine == Engine::kAvx2) {
    return hasAvx2() && __builtin_cpu_supports("bmi");
  }
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
std::size_t plainRecords(Engine engine, const unsigned char* b, std::size_t i, std::size_t n,
                         RecordRun& run, const MarkRules& rules) {
#if defined(DBC_X86_VECTORS)
  if (engine == Engine::kAvx2)
    return kText ? avx2Text(b, i, n, run, rules) : avx2Dbc(b, i, n, run, rules);
  if (engine == Engine::kSse2) return runRecords<kText, Sse2>(b, i, n, run, rules);
#endif
  (void)engine;
  return runRecords<kText, Plain>(b, i, n, run, rules);
}

template std::size_t plainRecords<false>(Engine, const unsigned char*, std::size_t, std::size_t,
                                         RecordRun&, const MarkRules&);
template std::size_t plainRecords<true>(Engine, const unsigned char*, std::size_t, std::size_t,
                                        RecordRun&, const MarkRules&);

void estimateWords(Engine engine, const unsigned char* p, std::size_t n, bool digits,
                   EagerEstimate& e) {
#if defined(DBC_X86_VECTORS)
  if (engine == Engine::kAvx2) return avx2Estimate(p, n, digits, e);
  if (engine == Engine::kSse2) return estimateAll<Sse2>(p, n, digits, e);
#endif
  (void)engine;
  estimateAll<Plain>(p, n, digits, e);
}

}  // namespace dbc::recscan
