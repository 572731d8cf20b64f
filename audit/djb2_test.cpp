#include "audit/djb2.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dbc::audit {
namespace {

struct Way {
  const char* name;
  ChecksumExtender extend;
};

// Every way this machine can run.
std::vector<Way> ways() {
  std::vector<Way> all = {{"scalar", extendChecksumScalar}};
#if defined(DBC_X86_VECTORS)
  all.push_back({"sse2", extendChecksumSse2});
#endif
  return all;
}

std::uint64_t plain(std::uint64_t chksum, const unsigned char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) chksum = djb2Step(chksum, bytes[i]);
  return chksum;
}

TEST(Djb2Test, EveryWayEqualsThePlainLoopAtEveryLengthAndAlignment) {
  // Lengths across the vector widths, the heads before them and the stretches that join the
  // chain (256 bytes); starts at every offset of a cache line, so no way depends on alignment.
  std::mt19937_64 rng(20261209);
  std::vector<unsigned char> buf(2200);
  for (auto& b : buf) b = static_cast<unsigned char>(rng());
  for (const Way& way : ways()) {
    for (std::size_t n = 0; n <= 1100; ++n) {
      std::size_t at = rng() % 64;
      std::uint64_t start = n % 3 == 0 ? kChecksumStart : rng();
      ASSERT_EQ(way.extend(start, buf.data() + at, n), plain(start, buf.data() + at, n))
          << way.name << " length " << n << " at " << at;
    }
    for (int round = 0; round < 50; ++round) {
      std::size_t at = rng() % 64, n = rng() % (buf.size() - 64);
      ASSERT_EQ(way.extend(5, buf.data() + at, n), plain(5, buf.data() + at, n)) << way.name;
    }
  }
}

TEST(Djb2Test, LargestBytesDoNotOverflowTheLanes) {
  // All 0xFF, then only bytes near the top: every partial sum at its largest.
  for (unsigned char fill : {0xFF, 0xFE, 0x80, 0x00}) {
    std::vector<unsigned char> bytes(777, fill);
    for (const Way& way : ways())
      for (std::size_t n : {31u, 32u, 64u, 255u, 256u, 257u, 512u, 777u})
        EXPECT_EQ(way.extend(~0ull, bytes.data(), n), plain(~0ull, bytes.data(), n))
            << way.name << " fill " << int(fill) << " length " << n;
  }
  // The worked example: "AB" from the start value.
  const unsigned char ab[] = {'A', 'B'};
  for (const Way& way : ways()) EXPECT_EQ(way.extend(kChecksumStart, ab, 2), 5862120u) << way.name;
}

}  // namespace
}  // namespace dbc::audit
