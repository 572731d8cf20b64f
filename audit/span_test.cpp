#include "audit/span.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace dbc::audit {
namespace {

struct Way {
  const char* name;
  SpanHasher span;
};

// Every way this machine can run, the AVX2 one only where the processor has it.
std::vector<Way> ways() {
  std::vector<Way> all = {{"scalar", hashSpanScalar}, {"best", bestSpanHasher()}};
#if defined(DBC_X86_VECTORS)
  all.push_back({"sse2", hashSpanSse2});
  if (hasAvx2()) all.push_back({"avx2", hashSpanAvx2});
#endif
  return all;
}

// The span the byte-at-a-time way: its end, and the hash through it.
const unsigned char* plainSpan(std::uint64_t& chksum, const unsigned char* p,
                               const unsigned char* end) {
  for (; p < end && !notCounted(*p); ++p) chksum = djb2Step(chksum, *p);
  return p;
}

void expectAgreement(const Way& way, std::uint64_t start, const unsigned char* p,
                     const unsigned char* end) {
  std::uint64_t expected = start, got = start;
  const unsigned char* expectedEnd = plainSpan(expected, p, end);
  const unsigned char* gotEnd = way.span(got, p, end);
  ASSERT_EQ(gotEnd - p, expectedEnd - p) << way.name << " available " << (end - p);
  ASSERT_EQ(got, expected) << way.name << " length " << (expectedEnd - p);
}

TEST(SpanTest, EveryWayEqualsTheByteLoopAtEveryLengthAndEnd) {
  // Spans of every length past several 256-byte stretches, ended by each byte that is not
  // counted or by the end of the bytes at hand (a vector or less after the span, or right at
  // it), from every offset of a cache line.
  std::mt19937_64 rng(20261209);
  std::vector<unsigned char> buf(1400);
  const unsigned char enders[] = {0xFA, 0xFB, 0xFF};
  for (const Way& way : ways()) {
    for (std::size_t n = 0; n <= 1100; ++n) {
      std::size_t at = rng() % 64;
      for (auto& b : buf) {
        b = static_cast<unsigned char>(rng());
        if (notCounted(b)) b = 0xFC;  // the highest bytes that still count
      }
      if (n % 5 != 4) buf[at + n] = enders[n % 3];
      std::size_t after = n % 4 == 0 ? 0 : rng() % 40;
      if (n % 5 == 4) after = 0;  // the end of the bytes ends the span
      std::uint64_t start = n % 3 == 0 ? kChecksumStart : rng();
      std::size_t available = n + (n % 5 == 4 ? 0 : 1) + after;
      expectAgreement(way, start, buf.data() + at, buf.data() + at + available);
      // The same span cut short by the end of the bytes, anywhere in it.
      expectAgreement(way, start, buf.data() + at, buf.data() + at + rng() % (n + 1));
    }
  }
}

TEST(SpanTest, LargestCountedBytesDoNotOverflowTheLanes) {
  // Only bytes near the top that still count: every partial sum at its largest.
  for (unsigned char fill : {0xFE, 0xFD, 0xFC, 0x80, 0x00}) {
    std::vector<unsigned char> bytes(800, fill);
    for (const Way& way : ways())
      for (std::size_t n : {31u, 32u, 64u, 255u, 256u, 257u, 512u, 777u}) {
        bytes[n] = 0xFA;
        expectAgreement(way, ~0ull, bytes.data(), bytes.data() + bytes.size());
        bytes[n] = fill;
      }
  }
}

TEST(SpanTest, AnEmptySpanLeavesTheChecksum) {
  const unsigned char bytes[40] = {0xFF, 'A', 'B'};
  for (const Way& way : ways()) {
    std::uint64_t chksum = 12345;
    EXPECT_EQ(way.span(chksum, bytes, bytes + 40), bytes) << way.name;
    EXPECT_EQ(way.span(chksum, bytes + 1, bytes + 1), bytes + 1) << way.name;
    EXPECT_EQ(chksum, 12345u) << way.name;
  }
}

}  // namespace
}  // namespace dbc::audit
