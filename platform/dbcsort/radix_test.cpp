#include "platform/dbcsort/radix.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace dbc::dbcsort {
namespace {

// Entries of `stride` bytes whose first `compared` bytes are drawn from a small alphabet, so
// that long common prefixes, equal bytes and the insertion-sort cut-over all occur.
void check(std::size_t n, std::size_t stride, std::size_t compared, unsigned alphabet,
           unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<unsigned char> data(n * stride);
  for (auto& b : data) b = static_cast<unsigned char>(0xFE + gen() % alphabet);
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < n; ++i) {
    expected.emplace_back(reinterpret_cast<char*>(data.data() + i * stride), stride);
  }
  radixSort(data.data(), n, stride, compared);
  std::vector<std::string> got;
  for (std::size_t i = 0; i < n; ++i) {
    got.emplace_back(reinterpret_cast<char*>(data.data() + i * stride), stride);
  }
  // The same entries, whole, in order of their compared bytes.
  EXPECT_TRUE(
      std::is_sorted(got.begin(), got.end(), [&](const std::string& a, const std::string& b) {
        return std::memcmp(a.data(), b.data(), compared) < 0;
      }));
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> gotSorted = got;
  std::sort(gotSorted.begin(), gotSorted.end());
  EXPECT_EQ(gotSorted, expected);
}

TEST(RadixSort, MatchesAComparisonSort) {
  check(0, 4, 4, 2, 1);
  check(1, 4, 4, 2, 1);
  check(10, 6, 5, 3, 2);       // insertion sort only
  check(5000, 8, 8, 2, 3);     // deep common prefixes in two values (0xFE, 0xFF)
  check(5000, 12, 9, 256, 4);  // wraps through every byte value, entries beyond the key
  check(20000, 40, 36, 5, 5);
}

TEST(RadixSort, EqualLeadingBytesEverywhere) {
  // Every entry alike but for its last compared byte, as tags with the same long prefix are.
  std::vector<unsigned char> data;
  for (int i = 0; i < 3000; ++i) {
    std::vector<unsigned char> e(300, ' ');
    e[299] = static_cast<unsigned char>((i * 37) % 256);
    data.insert(data.end(), e.begin(), e.end());
  }
  radixSort(data.data(), 3000, 300, 300);
  for (int i = 1; i < 3000; ++i) EXPECT_LE(data[i * 300 - 1], data[(i + 1) * 300 - 1]);
}

TEST(RadixSort, CommonPrefixCutShortByOneEntry) {
  // A long shared prefix that one entry near the end leaves early, and entries alike in every
  // compared byte: the sort must start telling them apart where that one entry differs.
  const std::size_t n = 2000, stride = 24, compared = 20;
  std::vector<unsigned char> data(n * stride, 'a');
  for (std::size_t i = 0; i < n; ++i) {
    data[i * stride + 15] = static_cast<unsigned char>('a' + (i * 7) % 5);
    data[i * stride + 20] = static_cast<unsigned char>(i % 256);  // beyond the key
  }
  data[(n - 3) * stride + 4] = 'Z';  // sorts first
  radixSort(data.data(), n, stride, compared);
  EXPECT_EQ(data[4], 'Z');
  for (std::size_t i = 2; i < n; ++i) {
    EXPECT_LE(std::memcmp(&data[(i - 1) * stride], &data[i * stride], compared), 0) << i;
  }
}

}  // namespace
}  // namespace dbc::dbcsort
