#include "recscan/scan.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>

#include "common/format.hpp"

namespace recscan {

namespace {

// Bytes that every rule of the scan treats alike: a character that adds one to the record's
// size and enters the checksum, and nothing else. In DB/C files these are 0x20..0x7F; in text
// files everything from 0x20 up except the deleted-space byte 0x7F.
template <bool kText>
constexpr bool isOrdinary(unsigned char b) {
  if constexpr (kText) {
    return b >= 0x20 && b != dbc::kTextDeleted;
  } else {
    return b >= 0x20 && b < 0x80;
  }
}

#if defined(__SSE2__)
// A mask with bit k set when byte k of `v` is not ordinary.
template <bool kText>
inline unsigned extraordinary(__m128i v) {
  // Signed, 0x80..0xFF are negative: "greater than 0x1F" is exactly 0x20..0x7F.
  __m128i ord = _mm_cmpgt_epi8(v, _mm_set1_epi8(0x1F));
  if constexpr (kText) {
    __m128i high = _mm_cmplt_epi8(v, _mm_setzero_si128());
    __m128i del = _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F));
    ord = _mm_andnot_si128(del, _mm_or_si128(ord, high));
  }
  return ~static_cast<unsigned>(_mm_movemask_epi8(ord)) & 0xFFFF;
}

inline std::uint32_t lanes(__m128i v) {
  alignas(16) std::uint32_t l[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(l), v);
  return l[0] + l[1] + l[2] + l[3];
}
#endif

// Scans forward from p[0] while bytes are ordinary, at most n of them. Returns the count; `sum`
// receives the bytes' total and `weighted` the total of each byte times its place (from 1).
// Both wrap modulo 2^32, which keeps them exact modulo 65536, all the checksum needs.
template <bool kText>
std::size_t measureRun(const unsigned char* p, std::size_t n, std::uint32_t& sum,
                       std::uint32_t& weighted) {
  std::size_t k = 0;
  std::uint32_t s = 0, w = 0;
#if defined(__SSE2__)
  // 16 bytes of 0xFF then 16 of 0x00: a load at 16 - t keeps the first t bytes of a chunk.
  alignas(16) static const unsigned char kKeep[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                      0xFF, 0xFF, 0xFF, 0xFF};
  const __m128i zero = _mm_setzero_si128();
  const __m128i w1 = _mm_setr_epi16(1, 2, 3, 4, 5, 6, 7, 8);
  const __m128i w2 = _mm_setr_epi16(9, 10, 11, 12, 13, 14, 15, 16);
  __m128i vs = zero, vp = zero, vw = zero;
  std::uint32_t chunks = 0;
  while (k + 16 <= n) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    unsigned stop = extraordinary<kText>(v);
    unsigned take = stop == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(stop));
    if (take == 0) break;
    if (take < 16) {
      v = _mm_and_si128(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeep + 16 - take)));
    }
    // Each 16-byte chunk c adds 16*c*(its sum) + its own weighted sum. vp gathers the sums of
    // the chunks before each one, that is the sum of S_c * (m - 1 - c) over the m chunks.
    vp = _mm_add_epi32(vp, vs);
    vs = _mm_add_epi32(vs, _mm_sad_epu8(v, zero));
    vw = _mm_add_epi32(vw, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), w1));
    vw = _mm_add_epi32(vw, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), w2));
    ++chunks;
    k += take;
    if (take < 16) break;
  }
  if (chunks > 0) {
    s = lanes(vs);
    w = 16u * ((chunks - 1) * s - lanes(vp)) + lanes(vw);
  }
  if (k % 16 != 0) {
    sum = s;
    weighted = w;
    return k;
  }
#endif
  for (; k < n && isOrdinary<kText>(p[k]); ++k) {
    s += p[k];
    w += static_cast<std::uint32_t>(k + 1) * p[k];
  }
  sum = s;
  weighted = w;
  return k;
}

// Where a space, a digit-or-point and any other byte lie in up to 64 bytes: bit k for p[k].
struct ClassMasks {
  std::uint64_t space = 0;
  std::uint64_t digit = 0;
};

ClassMasks classify64(const unsigned char* p, std::size_t n, bool digits) {
  ClassMasks m;
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i blank = _mm_set1_epi8(' ');
  const __m128i below0 = _mm_set1_epi8('0' - 1);
  const __m128i above9 = _mm_set1_epi8('9' + 1);
  const __m128i point = _mm_set1_epi8('.');
  for (; k + 16 <= n; k += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    m.space |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blank))) << k;
    if (digits) {
      __m128i d = _mm_and_si128(_mm_cmpgt_epi8(v, below0), _mm_cmplt_epi8(v, above9));
      d = _mm_or_si128(d, _mm_cmpeq_epi8(v, point));
      m.digit |= static_cast<std::uint64_t>(_mm_movemask_epi8(d)) << k;
    }
  }
#endif
  for (; k < n; ++k) {
    if (p[k] == ' ') m.space |= std::uint64_t{1} << k;
    if (digits && dbc::pairIndex(p[k]) >= 0) m.digit |= std::uint64_t{1} << k;
  }
  return m;
}

}  // namespace

void Scanner::track(unsigned char b, std::int64_t pos) {
  if (prvflg == 0) {
    prvflg = 1;
  } else {
    prvflg = 2;
    prvchr = curchr;
  }
  curchr = b;
  curpos2 = pos;
}

void Scanner::estimate(unsigned char b) {
  if (b == ' ') {
    if (spcflg2 == 1) {
      if (++spccnt2 == dbc::kMaxSpaceRun) {
        filsiz2 += 2;
        spcflg2 = 0;
      }
      return;
    }
    if (spcflg2 == 2) filsiz2 += 1;
    spcflg2 = 1;
    spccnt2 = 1;
    return;
  }
  if (spcflg2 == 1) {
    filsiz2 += spccnt2 == 1 ? 1 : 2;
    spcflg2 = 0;
  }
  if (dbc::pairIndex(b) >= 0 && !set_.ichflg) {
    if (spcflg2 == 2) {
      filsiz2 += 1;
      spcflg2 = 0;
    } else {
      spcflg2 = 2;
      prvchr2 = b;
    }
    return;
  }
  if (spcflg2 == 2) {
    filsiz2 += 1;
    spcflg2 = 0;
  }
  filsiz2 += 1;
}

// The estimate over a block, a run of spaces, digits or other bytes at a time; it ends in the
// state that estimate() reaches byte by byte.
void Scanner::estimateBlock(const unsigned char* buffer, std::size_t bytes) {
  const bool digits = !set_.ichflg;
  for (std::size_t base = 0; base < bytes; base += 64) {
    const std::size_t len = std::min<std::size_t>(64, bytes - base);
    const ClassMasks m = classify64(buffer + base, len, digits);
    const std::uint64_t valid = len == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << len) - 1;
    const std::uint64_t other = ~(m.space | m.digit) & valid;
    std::size_t pos = 0;
    while (pos < len) {
      const std::uint64_t bit = std::uint64_t{1} << pos;
      if (m.space & bit) {
        auto run = static_cast<unsigned>(std::countr_one(m.space >> pos));
        if (spcflg2 == 2) filsiz2 += 1;
        // Each time a run reaches 248 spaces it is written and closed.
        unsigned total = (spcflg2 == 1 ? spccnt2 : 0u) + run;
        filsiz2 += 2 * static_cast<std::int64_t>(total / dbc::kMaxSpaceRun);
        unsigned rest = total % dbc::kMaxSpaceRun;
        spcflg2 = rest > 0 ? 1 : 0;
        if (rest > 0) spccnt2 = static_cast<std::uint8_t>(rest);
        pos += run;
        continue;
      }
      if (spcflg2 == 1) {
        filsiz2 += spccnt2 == 1 ? 1 : 2;
        spcflg2 = 0;
      }
      if (m.digit & bit) {
        auto run = static_cast<unsigned>(std::countr_one(m.digit >> pos));
        unsigned waiting = (spcflg2 == 2 ? 1u : 0u) + run;
        filsiz2 += waiting / 2;
        spcflg2 = waiting % 2 == 1 ? 2 : 0;
        if (spcflg2 == 2) prvchr2 = buffer[base + pos + run - 1];
        pos += run;
        continue;
      }
      auto run = static_cast<unsigned>(std::countr_one(other >> pos));
      if (spcflg2 == 2) filsiz2 += 1;
      spcflg2 = 0;
      filsiz2 += run;
      pos += run;
    }
  }
}

void Scanner::debug(unsigned char b) {
  if (set_.dbgflg) {
    std::fprintf(dbgout_, "0x%02X %lli (%lli)\n", b, static_cast<long long>(curpos2),
                 static_cast<long long>(recpos));
  }
}

void Scanner::endRecord() {
  if (recsiz > 0) {
    if (minsiz == -1 || minsiz > recsiz) minsiz = recsiz;
    if (maxsiz == -1 || maxsiz < recsiz) maxsiz = recsiz;
    if (fstsiz == -1) fstsiz = recsiz;
  }
  recsiz = 0;
  recpos = 0;
}

// The damage both file types share: a null byte, or a control character other than tab, 0x14
// and escape.
void Scanner::controlByte(unsigned char* p) {
  const unsigned char b = *p;
  const int fix = set_.fixflg;
  if (b == 0x00) {
    debug(b);
    if (fix == 1 || fix == 2) *p = ' ';
    if (fix == 3) *p = 0xFF;
    errcnt++;
    errcnt2++;
    chgflg = 1;
  } else if (dbc::isControlDamage(b)) {
    errcnt++;
    debug(b);
    if (fix == 1) *p = ' ';
    chgflg = 1;
  }
}

void Scanner::dbcByte(unsigned char* p) {
  const int fix = set_.fixflg;
  // A record mark right after a null or deleted byte is taken for more of the same.
  if (fix == 3 && *p == dbc::kRecordMark && prvflg == 2 && (prvchr == 0x00 || prvchr == 0xFF)) {
    *p = static_cast<unsigned char>(prvchr);
    chgflg = 1;
  }
  const unsigned char b = *p;
  if (b == dbc::kDeleted) {
    delsiz++;
    if (recsiz != 0) {
      debug(b);
      if (fix == 5) {
        *p = ' ';
        chgflg = 1;
      }
    }
    return;
  }
  if (b >= 0x80 && b <= dbc::kSpaceRun && set_.cmpflg1 == -1 && cmpflg2 == -1) cmpflg2 = 1;
  if (dbc::isPairByte(b) && set_.cmpflg1 == 0 && !set_.ichflg) {
    debug(b);
    if (fix == 4) {
      *p = ' ';
      chgflg = 1;
    }
    recsiz++;
    errcnt++;
    errcnt2++;
    cmpflg2 = 1;
    return;
  }
  if (b == dbc::kRecordMark) {
    reccnt++;
    if (set_.cmpflg1 == 0 && (curpos2 + 1) % (set_.dmflen + 1) != 0) offset = 1;
    endRecord();
    return;
  }
  if (b == dbc::kEofMark) {
    eofcnt++;
    return;
  }
  recpos++;
  chksum = static_cast<std::uint16_t>(chksum + static_cast<std::uint64_t>(b) * recpos);
  if (spcflg == 1) {
    spcflg = 0;
    recsiz += b;
  } else if (b == dbc::kSpaceRun && (set_.cmpflg1 == 1 || cmpflg2 == 1)) {
    spcflg = 1;
    cmpflg2 = 1;
  } else if (dbc::isPairByte(b) && set_.cmpflg1 != -1) {
    recsiz++;
    if (set_.ichflg) {
      ichcnt++;
    } else {
      recsiz++;  // a digit pair stands for two characters
    }
  } else {
    recsiz++;
    controlByte(p);
  }
}

void Scanner::textByte(unsigned char* p) {
  const unsigned char b = *p;
  if (b == dbc::kTextDeleted) {
    delsiz++;
    return;
  }
  if (b == '\n') {
    reccnt++;
    if (recsiz2 > 0 && recsiz == recsiz2 && (curpos2 + 1) % (recsiz2 + 1) != 0) offset = 1;
    if (recsiz2 == -1) recsiz2 = recsiz;
    endRecord();
    return;
  }
  recpos++;
  chksum = static_cast<std::uint16_t>(chksum + static_cast<std::uint64_t>(b) * recpos);
  recsiz++;
  controlByte(p);
}

// Takes the run of ordinary bytes starting at buffer[i] as a whole; returns where it ends.
template <bool kText>
std::size_t Scanner::ordinaryRun(const unsigned char* buffer, std::size_t i, std::size_t bytes,
                                 std::int64_t curpos) {
  std::uint32_t sum, weighted;
  std::size_t n = measureRun<kText>(buffer + i, bytes - i, sum, weighted);
  if (n == 0) return i;
  std::size_t end = i + n;
  // Only the last two bytes of a run decide the previous-byte state.
  for (std::size_t k = n >= 2 ? end - 2 : i; k < end; ++k) {
    track(buffer[k], curpos + static_cast<std::int64_t>(k));
  }
  chksum = static_cast<std::uint16_t>(chksum + static_cast<std::uint32_t>(recpos) * sum + weighted);
  recpos += static_cast<std::int64_t>(n);
  recsiz += static_cast<std::int64_t>(n);
  return end;
}

bool Scanner::processBuffer(unsigned char* buffer, std::size_t bytes, std::int64_t curpos) {
  filsiz += static_cast<std::int64_t>(bytes);
  const bool estimating = set_.cmpflg && set_.cmpflg1 == 0;
  if (fast_) {
    // The estimate looks at the bytes as read, before any repair, so it can go first.
    if (estimating) estimateBlock(buffer, bytes);
    std::size_t i = 0;
    while (i < bytes) {
      if (spcflg == 0) {
        i = ordinaryRun<false>(buffer, i, bytes, curpos);
        if (i == bytes) break;
      }
      track(buffer[i], curpos + static_cast<std::int64_t>(i));
      dbcByte(buffer + i);
      ++i;
    }
  } else {
    for (std::size_t i = 0; i < bytes; ++i) {
      track(buffer[i], curpos + static_cast<std::int64_t>(i));
      if (estimating) estimate(buffer[i]);
      dbcByte(buffer + i);
    }
  }
  return chgflg == 1 && set_.fixflg > 0;
}

bool Scanner::processBuffer2(unsigned char* buffer, std::size_t bytes, std::int64_t curpos) {
  filsiz += static_cast<std::int64_t>(bytes);
  std::size_t i = 0;
  while (i < bytes) {
    if (fast_) {
      i = ordinaryRun<true>(buffer, i, bytes, curpos);
      if (i == bytes) break;
    }
    track(buffer[i], curpos + static_cast<std::int64_t>(i));
    textByte(buffer + i);
    ++i;
  }
  return chgflg == 1 && set_.fixflg > 0;
}

}  // namespace recscan
