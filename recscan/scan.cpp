#include "recscan/scan.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/format.hpp"

namespace dbc::recscan {

namespace {

// Bytes that every rule of the scan treats alike: a character that adds one to the record's
// size and enters the checksum, and nothing else. In DB/C files these are 0x20..0x7F; in text
// files everything from 0x20 up except the deleted-space byte 0x7F.
template <bool kText>
constexpr bool isOrdinary(unsigned char b) {
  if constexpr (kText) {
    return b >= 0x20 && b != kTextDeleted;
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

}  // namespace

void Scanner::track(unsigned char b, std::int64_t pos) {
  if (prvflg == Previous::kNone) {
    prvflg = Previous::kFirst;
  } else {
    prvflg = Previous::kByte;
    prvchr = curchr;
  }
  curchr = b;
  curpos2 = pos;
}

void Scanner::estimate(unsigned char b) {
  if (b == ' ') {
    if (spcflg2 == Pending::kSpaces) {
      if (++spccnt2 == kMaxSpaceRun) {
        filsiz2 += 2;
        spcflg2 = Pending::kIdle;
      }
      return;
    }
    if (spcflg2 == Pending::kDigit) filsiz2 += 1;
    spcflg2 = Pending::kSpaces;
    spccnt2 = 1;
    return;
  }
  if (spcflg2 == Pending::kSpaces) {
    filsiz2 += spccnt2 == 1 ? 1 : 2;
    spcflg2 = Pending::kIdle;
  }
  if (pairIndex(b) >= 0 && !set_.ichflg) {
    if (spcflg2 == Pending::kDigit) {
      filsiz2 += 1;
      spcflg2 = Pending::kIdle;
    } else {
      spcflg2 = Pending::kDigit;
      prvchr2 = b;
    }
    return;
  }
  if (spcflg2 == Pending::kDigit) {
    filsiz2 += 1;
    spcflg2 = Pending::kIdle;
  }
  filsiz2 += 1;
}

// The estimate counts each byte as it comes: an open run of spaces or a waiting digit has already
// added what the byte rules add only once it closes, so that part comes off again between blocks.
void Scanner::estimateBlock(const unsigned char* buffer, std::size_t bytes) {
  const unsigned carried = spcflg2 == Pending::kSpaces ? spccnt2 : 0u;
  const bool waiting = spcflg2 == Pending::kDigit;
  EagerEstimate e{filsiz2 + (waiting ? 1 : 0) + std::min(carried, 2u), carried, waiting};
  estimateWords(engine_, buffer, bytes, !set_.ichflg, e);
  filsiz2 = e.total - (e.pend ? 1 : 0) - std::min(e.run, 2u);
  spcflg2 = e.run != 0 ? Pending::kSpaces : e.pend ? Pending::kDigit : Pending::kIdle;
  if (e.pend) prvchr2 = buffer[bytes - 1];
  if (e.run != 0) {
    spccnt2 = static_cast<std::uint8_t>(e.run);
  } else {
    lastSpaceRun(buffer, bytes, carried);
  }
}

// The byte rules leave `spccnt2` at the length they counted for the last run of spaces, closed
// or not (248 for one closed at 248), and the report shows none of it; kept all the same, so
// that both ways leave the same state.
void Scanner::lastSpaceRun(const unsigned char* buffer, std::size_t bytes, unsigned carried) {
  const void* found = ::memrchr(buffer, ' ', bytes);
  if (found == nullptr) return;
  std::size_t end = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - buffer);
  std::size_t begin = end;
  while (begin > 0 && buffer[begin - 1] == ' ') --begin;
  std::size_t counted = end + 1 - begin + (begin == 0 ? carried : 0u);
  spccnt2 = static_cast<std::uint8_t>((counted - 1) % kMaxSpaceRun + 1);
}

void Scanner::debug(unsigned char b) {
  if (set_.dbgflg) {
    std::fprintf(dbgout_, "0x%02X %lli (%lli)\n", b, static_cast<long long>(curpos2),
                 static_cast<long long>(recpos));
  }
}

void Scanner::endRecord() {
  closeRecord(recsiz, minsiz, maxsiz, fstsiz);
  recsiz = 0;
  recpos = 0;
}

// The damage both file types share: a null byte, or a control character other than tab, 0x14
// and escape.
void Scanner::controlByte(unsigned char* p) {
  const unsigned char b = *p;
  const FixMode fix = set_.fixflg;
  if (b == 0x00) {
    debug(b);
    if (fix == FixMode::kControls || fix == FixMode::kNullToSpace) *p = ' ';
    if (fix == FixMode::kNullToDeleted) *p = kDeleted;
    errcnt++;
    errcnt2++;
    chgflg = true;
  } else if (isControlDamage(b)) {
    errcnt++;
    debug(b);
    if (fix == FixMode::kControls) *p = ' ';
    chgflg = true;
  }
}

// Under fix mode 3 a record mark right after a null or deleted byte is taken for more of the
// same: it is replaced by that byte before the byte is classified, so the record it would have
// ended is never counted and a 0x00 there ends as deleted space too.
void Scanner::swallowMark(unsigned char* p) {
  if (*p == kRecordMark && prvflg == Previous::kByte && (prvchr == 0x00 || prvchr == kDeleted)) {
    *p = static_cast<unsigned char>(prvchr);
    chgflg = true;
  }
}

void Scanner::deletedByte(unsigned char* p) {
  delsiz++;
  // Deleted space is damage only inside a record that already has characters; at a record's
  // start it is what a deleted record is made of.
  if (recsiz != 0) {
    debug(*p);
    if (set_.fixflg == FixMode::kDeletedToSpace) {
      *p = ' ';
      chgflg = true;
    }
  }
}

// 0x80..0xF8 in a file configured uncompressed, the switch off. It counts one character of its
// record, but no data byte: the checksum and the position count pass it by.
void Scanner::highDamage(unsigned char* p) {
  debug(*p);
  if (set_.fixflg == FixMode::kHighToSpace) {
    *p = ' ';
    chgflg = true;
  }
  recsiz++;
  errcnt++;
  errcnt2++;
  cmpflg2 = CompressionSeen::kYes;
}

void Scanner::dbcDataByte(unsigned char* p) {
  const unsigned char b = *p;
  const Compression cmpflg1 = set_.dmf.cmpflg1;
  recpos++;
  chksum = static_cast<std::uint16_t>(chksum + static_cast<std::uint64_t>(b) * recpos);
  if (spcflg) {
    spcflg = false;
    recsiz += b;
  } else if (b == kSpaceRun &&
             (cmpflg1 == Compression::kConfigured || cmpflg2 == CompressionSeen::kYes)) {
    spcflg = true;
    cmpflg2 = CompressionSeen::kYes;
  } else if (isPairByte(b) && cmpflg1 != Compression::kUndefined) {
    recsiz++;
    if (set_.ichflg) {
      ichcnt++;
    } else {
      recsiz++;  // a digit pair stands for two characters
    }
  } else {
    // Compression undetermined, 0x80..0xF8 are one good character each.
    recsiz++;
    controlByte(p);
  }
}

void Scanner::dbcByte(unsigned char* p) {
  if (set_.fixflg == FixMode::kNullToDeleted) swallowMark(p);
  const unsigned char b = *p;
  const Compression cmpflg1 = set_.dmf.cmpflg1;
  if (b == kDeleted) {
    deletedByte(p);
    return;
  }
  if (b >= 0x80 && b <= kSpaceRun && cmpflg1 == Compression::kUndefined &&
      cmpflg2 == CompressionSeen::kNo) {
    cmpflg2 = CompressionSeen::kYes;
  }
  if (isPairByte(b) && cmpflg1 == Compression::kNotConfigured && !set_.ichflg) {
    highDamage(p);
    return;
  }
  if (b == kRecordMark) {
    reccnt++;
    if (cmpflg1 == Compression::kNotConfigured && (curpos2 + 1) % (set_.dmf.dmflen + 1) != 0) {
      offset = true;
    }
    endRecord();
    return;
  }
  if (b == kEofMark) {
    eofcnt++;  // inside the file it ends nothing, not even the record in progress
    return;
  }
  dbcDataByte(p);
}

void Scanner::textByte(unsigned char* p) {
  const unsigned char b = *p;
  if (b == kTextDeleted) {
    delsiz++;
    return;
  }
  if (b == '\n') {
    reccnt++;
    // Only a line as long as the first one is held to the first line's grid; an empty first
    // line tests no position at all.
    if (recsiz2 > 0 && recsiz == recsiz2 && (curpos2 + 1) % (recsiz2 + 1) != 0) offset = true;
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

// Records of plain characters and their marks from buffer[i] on; returns where they end.
template <bool kText>
std::size_t Scanner::plainRecords(const unsigned char* buffer, std::size_t i, std::size_t bytes,
                                  std::int64_t curpos) {
  if (bytes - i < 64) return i;
  RecordRun r{reccnt, recpos, recsiz, minsiz, maxsiz, fstsiz, recsiz2, chksum, offset, gridEnd_};
  MarkRules rules{curpos, true, 0};
  if constexpr (!kText) {
    // Under fix mode 3 a mark may be swallowed by the byte before it: the byte rules decide.
    rules.marks = set_.fixflg != FixMode::kNullToDeleted;
    if (set_.dmf.cmpflg1 == Compression::kNotConfigured) rules.grid = set_.dmf.dmflen + 1;
  }
  const std::size_t end = recscan::plainRecords<kText>(engine_, buffer, i, bytes, r, rules);
  if (end == i) return i;
  reccnt = r.reccnt;
  recpos = r.recpos;
  recsiz = r.recsiz;
  minsiz = r.minsiz;
  maxsiz = r.maxsiz;
  fstsiz = r.fstsiz;
  recsiz2 = r.recsiz2;
  chksum = r.chksum;
  offset = r.offset;
  gridEnd_ = r.gridEnd;
  // Only the last two bytes decide the previous-byte state.
  for (std::size_t k = end - i >= 2 ? end - 2 : i; k < end; ++k) {
    track(buffer[k], curpos + static_cast<std::int64_t>(k));
  }
  return end;
}

bool Scanner::processBuffer(unsigned char* buffer, std::size_t bytes, std::int64_t curpos) {
  filsiz += static_cast<std::int64_t>(bytes);
  const bool estimating = set_.cmpflg && set_.dmf.cmpflg1 == Compression::kNotConfigured;
  if (fast_) {
    // The estimate looks at the bytes as read, before any repair, so it can go first.
    if (estimating) estimateBlock(buffer, bytes);
    std::size_t i = 0;
    while (i < bytes) {
      // Deleted space and damage go straight to the byte rules.
      if (!spcflg && (isOrdinary<false>(buffer[i]) || buffer[i] == kRecordMark)) {
        i = plainRecords<false>(buffer, i, bytes, curpos);
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
  return chgflg && set_.fixflg != FixMode::kNone;
}

bool Scanner::processBuffer2(unsigned char* buffer, std::size_t bytes, std::int64_t curpos) {
  filsiz += static_cast<std::int64_t>(bytes);
  std::size_t i = 0;
  while (i < bytes) {
    if (fast_ && (isOrdinary<true>(buffer[i]) || buffer[i] == '\n')) {
      i = plainRecords<true>(buffer, i, bytes, curpos);
      i = ordinaryRun<true>(buffer, i, bytes, curpos);
      if (i == bytes) break;
    }
    if (buffer[i] == '\r' && i + 1 < bytes && buffer[i + 1] == '\n') crlf = true;
    track(buffer[i], curpos + static_cast<std::int64_t>(i));
    textByte(buffer + i);
    ++i;
  }
  return chgflg && set_.fixflg != FixMode::kNone;
}

}  // namespace dbc::recscan
