#include "pageconv/events.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/simd.hpp"
#include "pageconv/scan.hpp"

namespace dbc::pageconv {
namespace {

// The masks of p[0..n) as a finder makes them, one flag per byte.
std::vector<bool> flags(MaskFinder find, const std::string& text, std::size_t n) {
  std::vector<std::uint64_t> words((n + 63) / 64 + 1, ~std::uint64_t{0});
  find(text.data(), n, words.data());
  std::vector<bool> f;
  for (std::size_t i = 0; i < 64 * ((n + 63) / 64); ++i)
    f.push_back((words[i / 64] >> (i % 64)) & 1);
  EXPECT_EQ(words.back(), ~std::uint64_t{0}) << "wrote past its masks";
  return f;
}

// Each byte value at the edges of the vector lanes and of the 64-byte stretches, amid the bytes
// closest to it in value, in texts that end inside a stretch or on its edge.
TEST(Events, EveryFinderFlagsExactlyTheBytesOfInterest) {
#ifdef DBC_X86_VECTORS
  ASSERT_GE(availableFinders().size(), 2u);  // SSE2 is always there beside the word arithmetic
#endif
  const std::string neighbours = "\t ~_|[]az09\x0b\x0e\x1f!";
  std::string base;
  while (base.size() < 200) base += neighbours;
  for (const Finders& f : availableFinders()) {
    SCOPED_TRACE(f.name);
    for (int v = 0; v < 256; ++v) {
      for (std::size_t at : {0, 1, 15, 16, 31, 32, 63, 64, 65, 127, 128, 170}) {
        std::string text = base;
        text[at] = static_cast<char>(v);
        for (std::size_t n : {at + 1, std::size_t{64}, std::size_t{128}, std::size_t{171}}) {
          if (n <= at) continue;
          std::vector<bool> escaped = flags(f.escaped, text, n);
          for (std::size_t i = 0; i < escaped.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            ASSERT_EQ(escaped[i], i < n && isEscaped(c)) << v << " " << at << " " << n << " " << i;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace dbc::pageconv
