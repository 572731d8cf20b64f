#include "platform/dbcsort/radix.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dbc::dbcsort {

namespace {

// Below this many entries a segment is finished by insertion sort.
constexpr std::size_t kSmall = 24;

struct Segment {
  unsigned char* base;
  std::size_t n;
  std::size_t depth;  // bytes before this one are equal within the segment
};

void swapEntries(unsigned char* a, unsigned char* b, std::size_t stride) {
  std::swap_ranges(a, a + stride, b);
}

void insertionSort(const Segment& s, std::size_t stride, std::size_t compared, unsigned char* tmp) {
  const std::size_t len = compared - s.depth;
  for (std::size_t i = 1; i < s.n; ++i) {
    unsigned char* cur = s.base + i * stride;
    if (std::memcmp(cur - stride + s.depth, cur + s.depth, len) <= 0) continue;
    std::memcpy(tmp, cur, stride);
    std::size_t j = i;
    while (j > 0 && std::memcmp(s.base + (j - 1) * stride + s.depth, tmp + s.depth, len) > 0) {
      --j;
    }
    std::memmove(s.base + (j + 1) * stride, s.base + j * stride, (i - j) * stride);
    std::memcpy(s.base + j * stride, tmp, stride);
  }
}

// The depth at which the entries of `s` first differ, given that they agree at s.depth: one
// pass over the segment instead of one per equal byte, which matters for keys that start with
// a run of equal columns (right-justified numbers start with spaces).
std::size_t commonDepth(const Segment& s, std::size_t stride, std::size_t compared) {
  const unsigned char* ref = s.base;
  std::size_t d = compared;
  const unsigned char* e = s.base + stride;
  for (std::size_t i = 1; i < s.n && d > s.depth + 1; ++i, e += stride) {
    std::size_t k = s.depth + 1;
    while (k < d && e[k] == ref[k]) ++k;
    d = k;
  }
  return d;
}

}  // namespace

void radixSort(unsigned char* base, std::size_t n, std::size_t stride, std::size_t compared) {
  if (n < 2 || compared == 0) return;
  std::vector<unsigned char> tmp(stride);
  // Work list instead of recursion: a key may be thousands of bytes long.
  std::vector<Segment> work{{base, n, 0}};
  while (!work.empty()) {
    Segment s = work.back();
    work.pop_back();
    for (;;) {
      if (s.depth >= compared) break;
      if (s.n < kSmall) {
        insertionSort(s, stride, compared, tmp.data());
        break;
      }
      std::size_t count[256] = {};
      const unsigned char* p = s.base + s.depth;
      for (std::size_t i = 0; i < s.n; ++i, p += stride) ++count[*p];
      unsigned first = s.base[s.depth];
      if (count[first] == s.n) {  // every entry has the same byte here: look further on
        s.depth = commonDepth(s, stride, compared);
        continue;
      }
      std::size_t start[256];
      std::size_t next[256];
      std::size_t sum = 0;
      for (int b = 0; b < 256; ++b) {
        start[b] = next[b] = sum;
        sum += count[b];
      }
      // In-place permutation: each entry swapped straight into its bucket.
      for (int b = 0; b < 256; ++b) {
        std::size_t end = start[b] + count[b];
        while (next[b] < end) {
          unsigned char* e = s.base + next[b] * stride;
          unsigned v = e[s.depth];
          if (v == static_cast<unsigned>(b)) {
            ++next[b];
          } else {
            swapEntries(e, s.base + next[v]++ * stride, stride);
          }
        }
      }
      for (int b = 0; b < 256; ++b) {
        if (count[b] > 1) work.push_back({s.base + start[b] * stride, count[b], s.depth + 1});
      }
      break;
    }
  }
}

}  // namespace dbc::dbcsort
