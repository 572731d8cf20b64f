#include "platform/dbcsort/radix.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace dbc::dbcsort {
namespace {

// Keys kept whole, one after another, each entry's offset its key's number.
class TestKeys : public KeySource {
 public:
  explicit TestKeys(std::size_t keyBytes) : KeySource(keyBytes) {}
  const unsigned char* key(const SortEntry& e, unsigned char*) const override {
    return bytes.data() + e.offset * keyBytes;
  }
  std::vector<unsigned char> bytes;
};

// Sorts `keys` with the radix sort on `threads` threads and checks the order against a plain
// stable sort of the keys compared byte by byte.
void expectStableOrder(const TestKeys& keys, std::size_t threads) {
  const std::size_t n = keys.bytes.size() / keys.keyBytes;
  std::vector<SortEntry> entries(n);
  for (std::size_t i = 0; i < n; ++i) entries[i] = {~0ull, static_cast<std::uint32_t>(i), 0};
  sortEntries(entries.data(), n, keys, threads);
  std::vector<std::uint32_t> want(n);
  std::iota(want.begin(), want.end(), 0u);
  std::stable_sort(want.begin(), want.end(), [&](std::uint32_t a, std::uint32_t b) {
    unsigned char* unused = nullptr;
    return std::memcmp(keys.key({0, a, 0}, unused), keys.key({0, b, 0}, unused), keys.keyBytes) < 0;
  });
  std::vector<std::uint32_t> got(n);
  for (std::size_t i = 0; i < n; ++i) got[i] = entries[i].offset;
  EXPECT_EQ(got, want);
}

// `n` keys of `keyBytes` drawn from `alphabet` values starting at `low`, so that long common
// prefixes, ties past every byte and the insertion-sort cut-over all occur.
TestKeys randomKeys(std::size_t n, std::size_t keyBytes, unsigned alphabet, unsigned low,
                    unsigned seed) {
  std::mt19937 gen(seed);
  TestKeys keys(keyBytes);
  keys.bytes.resize(n * keyBytes);
  for (auto& b : keys.bytes) b = static_cast<unsigned char>(low + gen() % alphabet);
  return keys;
}

// Keys that all share a long prefix but for one that a sample of them can miss (it lies
// between the sampled ones, or is the last): the guess from the sample is caught out, and the
// order is still the stable byte order.
TEST(RadixSort, APrefixTheSampleGuessesWrongIsCaught) {
  for (std::size_t odd : {std::size_t{1}, std::size_t{2047}, std::size_t{4999}}) {
    for (std::size_t differAt : {std::size_t{0}, std::size_t{5}, std::size_t{11}}) {
      SCOPED_TRACE("entry " + std::to_string(odd) + " differs at " + std::to_string(differAt));
      TestKeys keys = randomKeys(5000, 24, 3, 'a', 11);
      for (std::size_t i = 0; i < 5000; ++i)
        std::memset(keys.bytes.data() + i * 24, 'p', 12);  // a common prefix of 12 bytes
      keys.bytes[odd * 24 + differAt] = 'o';
      for (std::size_t threads : {1, 2}) expectStableOrder(keys, threads);
    }
  }
}

TEST(RadixSort, MatchesAStableComparisonSortWhateverTheThreads) {
  struct Case {
    std::size_t n, keyBytes;
    unsigned alphabet, low;
  };
  for (const Case& c : {Case{0, 4, 2, 0},
                        {1, 4, 2, 0},
                        {10, 5, 3, 0},           // insertion sort only
                        {5000, 8, 2, 0xFE},      // deep common prefixes, bytes near 0xFF
                        {5000, 3, 2, 0},         // keys shorter than a head
                        {5000, 9, 256, 0},       // every byte value, one byte past a head
                        {20000, 36, 3, 'a'},     // ties past several heads
                        {70000, 17, 4, 0},       // shared out between threads
                        {70000, 34, 256, 0}}) {  // most keys told apart by their first head
    for (std::size_t threads : {1, 2, 3, 7}) {
      SCOPED_TRACE(std::to_string(c.n) + " keys of " + std::to_string(c.keyBytes) + ", " +
                   std::to_string(threads) + " threads");
      expectStableOrder(randomKeys(c.n, c.keyBytes, c.alphabet, c.low, 7), threads);
    }
  }
}

TEST(RadixSort, EqualLeadingBytesEverywhere) {
  // Every key alike but for its last byte, as tags with the same long prefix are, and many
  // keys equal whole: they keep their input order.
  TestKeys keys(300);
  for (int i = 0; i < 80000; ++i) {
    std::vector<unsigned char> k(300, ' ');
    k[299] = static_cast<unsigned char>((i * 37) % 7);
    keys.bytes.insert(keys.bytes.end(), k.begin(), k.end());
  }
  for (std::size_t threads : {1, 2}) expectStableOrder(keys, threads);
}

TEST(RadixSort, CommonPrefixCutShortByOneKey) {
  // A long shared prefix that one key near the end leaves early: the sort must start telling
  // the keys apart where that one differs, not where the first few do.
  for (std::size_t n : {2000, 90000}) {
    TestKeys keys(20);
    keys.bytes.assign(n * 20, 'a');
    for (std::size_t i = 0; i < n; ++i) keys.bytes[i * 20 + 15] = 'a' + (i * 7) % 5;
    keys.bytes[(n - 3) * 20 + 4] = 'Z';
    for (std::size_t threads : {1, 3}) expectStableOrder(keys, threads);
  }
}

// Groups large enough to be split two bytes at a time: most keys alike for many bytes, a few
// differing at each of them, so that the big group is split at every place in a head (the last
// place leaves one byte: split by one), then keys of few values, and ties past every byte.
TEST(RadixSort, LargeGroupsSplitTwoBytesAtATime) {
  constexpr std::size_t n = 150000, kb = 24;
  TestKeys keys = randomKeys(n, kb, 3, '0', 3);
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char* k = keys.bytes.data() + i * kb;
    std::memset(k, 'k', 18);
    for (std::size_t j = 5; j < 18; ++j)
      if (i % (900 + 7 * j) == j) k[j] = static_cast<unsigned char>('a' + i % 3);
  }
  for (std::size_t threads : {1, 2, 3}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    expectStableOrder(keys, threads);
  }
}

TEST(RadixSort, DecimalNumbersRightJustified) {
  // Record positions as the tags hold them: spaces, then digits, then a key.
  TestKeys keys(32);
  std::mt19937 gen(11);
  for (int i = 0; i < 100000; ++i) {
    char k[40];
    std::snprintf(k, sizeof k, "%12u%-20u", static_cast<unsigned>(gen() % 5000000) * 81,
                  static_cast<unsigned>(gen() % 3));
    keys.bytes.insert(keys.bytes.end(), k, k + 32);
  }
  for (std::size_t threads : {1, 2, 7}) expectStableOrder(keys, threads);
}

}  // namespace
}  // namespace dbc::dbcsort
