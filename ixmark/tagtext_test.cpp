#include "ixmark/tagtext.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dbc::ixmark {
namespace {

// Any bytes at all (pairs, runs of every count, runs cut short at the end, deleted spaces,
// marks) decode as the codec decodes them, in every table.
TEST(TagText, AgreesWithTheCodecOnAnyBytes) {
  std::mt19937 gen(44);
  const DecodeTable* tables[] = {&kCleanedPairs, &kCleanedBytes, &kKeptPairs, &kKeptBytes};
  for (int round = 0; round < 20000; ++round) {
    std::string rec;
    const std::size_t len = gen() % 60;
    for (std::size_t i = 0; i < len; ++i) {
      const unsigned r = gen() % 6;
      rec.push_back(static_cast<char>(r == 0 ? 0xF9 : r == 1 ? 0xFF : gen() % 256));
    }
    const DecodeTable& t = *tables[round % 4];
    const std::size_t room = (rec.size() / 2 + 1) * 255 + kTagTextSlack;
    std::vector<unsigned char> want(room + kFrontSlack), got(room);
    const std::size_t n = decodeFront(rec, t, SIZE_MAX, want.data());
    ASSERT_EQ(decodeTag(rec, t, got.data()), n) << "round " << round;
    ASSERT_EQ(std::string(got.begin(), got.begin() + static_cast<long>(n)),
              std::string(want.begin(), want.begin() + static_cast<long>(n)))
        << "round " << round;
  }
}

}  // namespace
}  // namespace dbc::ixmark
