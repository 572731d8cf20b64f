#include "common/framing_wide.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dbc {
namespace {

// The places a search may start from in `b`: every byte the plain search steps on (never a
// count byte), found by walking it byte by byte.
std::vector<std::size_t> startPlaces(const std::string& b) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < b.size();) {
    at.push_back(i);
    i += static_cast<unsigned char>(b[i]) == kSpaceRun ? 2 : 1;
  }
  at.push_back(b.size());
  return at;
}

// From every place a search may start, with the bytes cut off at every length after it, the
// wide search says what the plain one says: on texts thick with run markers (counts that look
// like marks included), marks, line feeds and the bytes 0xFC..0xFF, and on plain stretches
// longer than a vector.
TEST(FramingWide, AgreesWithThePlainSearchEverywhere) {
  std::mt19937 gen(99);
  for (int round = 0; round < 3000; ++round) {
    std::string b;
    const std::size_t n = gen() % 70;
    const unsigned spread = 2 + gen() % 40;
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned r = gen() % spread;
      b.push_back(static_cast<char>(r == 0   ? kSpaceRun
                                    : r == 1 ? kRecordMark
                                    : r == 2 ? kEofMark
                                    : r == 3 ? '\n'
                                    : r == 4 ? 0xFC + gen() % 4
                                             : 'A' + gen() % 26));
    }
    const auto* p = reinterpret_cast<const unsigned char*>(b.data());
    for (std::size_t from : startPlaces(b)) {
      for (std::size_t len = from; len <= b.size(); ++len) {
        const RecordEnd want = findRecordEnd(p, from, len);
        const RecordEnd got = findRecordEndWide(p, from, len);
        ASSERT_EQ(got.found, want.found) << "round " << round << " from " << from << " len " << len;
        ASSERT_EQ(got.at, want.at) << "round " << round << " from " << from << " len " << len;
      }
    }
  }
}

}  // namespace
}  // namespace dbc
