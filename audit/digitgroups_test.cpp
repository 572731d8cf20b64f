#include "audit/digitgroups.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace dbc::audit {
namespace {

using Groups = void (*)(const std::uint32_t*, std::uint64_t*);

std::vector<std::pair<const char*, Groups>> ways() {
  std::vector<std::pair<const char*, Groups>> all = {{"scalar", fourDigitGroupsScalar},
                                                     {"best", fourDigitGroups}};
#if defined(DBC_X86_VECTORS)
  all.emplace_back("sse2", fourDigitGroupsSse2);
#endif
  return all;
}

std::string printed(std::uint32_t x) {
  char text[16];
  std::snprintf(text, sizeof text, "%08u", x);
  return text;
}

std::string bytesOf(std::uint64_t word) {
  char text[8];
  std::memcpy(text, &word, 8);  // the first digit lowest: little-endian machines only
  return std::string(text, 8);
}

TEST(DigitGroupsTest, EveryWayPrintsEightDigitsWithLeadingZeros) {
  if (std::endian::native != std::endian::little) GTEST_SKIP() << "SKIPPED: little-endian words";
  // Every value around each split (10000 and 100 in each half, 10 in each pair), then random.
  std::vector<std::uint32_t> values;
  for (std::uint32_t x = 0; x < 20000; ++x) values.push_back(x);
  for (std::uint32_t p = 10; p <= 100000000; p *= 10)
    for (std::uint32_t d = 0; d < 3; ++d) {
      values.push_back(p - 1 - d);
      if (p + d < 100000000) values.push_back(p + d);
    }
  std::mt19937 rng(1209);
  for (int i = 0; i < 200000; ++i) values.push_back(rng() % 100000000);
  values.push_back(99999999);
  while (values.size() % 4 != 0) values.push_back(0);
  for (const auto& [name, way] : ways()) {
    for (std::size_t at = 0; at < values.size(); at += 4) {
      std::uint64_t out[4];
      way(&values[at], out);
      for (int i = 0; i < 4; ++i)
        ASSERT_EQ(bytesOf(out[i]), printed(values[at + i])) << name << " " << values[at + i];
    }
  }
}

TEST(DigitGroupsTest, EightAtOnceAgreeWithFourAtOnce) {
  using Eight = EightWords (*)(const std::uint32_t*, const std::uint32_t*);
  std::vector<std::pair<const char*, Eight>> eights = {{"scalar", eightDigitGroupsScalar}};
#if defined(DBC_X86_VECTORS)
  if (hasAvx2()) eights.emplace_back("avx2", eightDigitGroupsAvx2);
#endif
  std::mt19937 rng(20261209);
  for (int round = 0; round < 100000; ++round) {
    std::uint32_t in[8];
    for (auto& x : in) x = round < 10 ? 99999999 - round * 11111111u : rng() % 100000000;
    std::uint64_t four[8];
    fourDigitGroupsScalar(in, four);
    fourDigitGroupsScalar(in + 4, four + 4);
    for (const auto& [name, eight] : eights) {
      EightWords got = eight(in, in + 4);
      for (int i = 0; i < 8; ++i) ASSERT_EQ(got.words[i], four[i]) << name << " lane " << i;
    }
  }
}

}  // namespace
}  // namespace dbc::audit
