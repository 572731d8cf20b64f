#include "dbtidy/linestop.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace dbc::dbtidy {
namespace {

TEST(StopMask, AgreesWithTheByteLoopAtEveryOffset) {
  std::mt19937 rng(21);
  const char alphabet[] = {'\n', '\r', '\0', 'a', ' ', '\t', '\x0B', '\x0C', '\x8A', '\x8D'};
  std::vector<char> bytes(64 + 16);
  for (int round = 0; round < 2000; ++round) {
    const int stops = round % 8;  // from no stop at all to many
    for (char& c : bytes)
      c = rng() % 8 < static_cast<unsigned>(stops) ? alphabet[rng() % 3] : alphabet[3 + rng() % 7];
    for (std::size_t offset = 0; offset < 16; ++offset) {
      ASSERT_EQ(stopMask(bytes.data() + offset), stopMaskScalar(bytes.data() + offset)) << round;
    }
  }
  std::vector<char> one(64, 'x');
  one[63] = '\r';
  EXPECT_EQ(stopMaskScalar(one.data()), std::uint64_t{1} << 63);
}

}  // namespace
}  // namespace dbc::dbtidy
