// Where the bytes of interest of a print file lie, found a batch at a time with the widest vector
// instructions the processor has: both passes spend their time passing over plain text, and a
// bit mask per 64 bytes lets them jump from one byte of interest to the next.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pageconv/linetext.hpp"
#include "pageconv/tally.hpp"

namespace dbc::pageconv {

// Sets bit j of out[w] when byte 64 w + j of p[0..n) is of interest; writes (n + 63) / 64 words.
using MaskFinder = void (*)(const char* p, std::size_t n, std::uint64_t* out);

// The search for the bytes to escape, the layout pass's count and the writing of a line's text,
// made with one instruction set.
struct Finders {
  const char* name;
  MaskFinder escaped;  // the bytes a document cannot carry as they are (isEscaped)
  Tallier tally;       // the layout pass's count of lines and pages
  LineWriter line;     // a line's text escaped, up to its end
};

// The searches this processor can run, the plainest first: word-at-a-time arithmetic everywhere,
// then SSE2 and AVX2 where the processor has them.
std::vector<Finders> availableFinders();
// The fastest of them, chosen once.
const Finders& bestFinders();

// The bytes of interest of p[0..n) one after another, found by `find` a batch at a time.
class Events {
 public:
  Events(const char* p, std::size_t n, MaskFinder find) : p_(p), n_(n), find_(find) {
    if (n > 0) refill(0);
  }

  // The mask of bytes 64 word to 64 word + 63 (below n).
  std::uint64_t mask(std::size_t word) {
    if (word - first_ >= kBatch) refill(word);
    return batch_[word - first_];
  }

  // The first byte of interest at or after `from`, else n.
  std::size_t next(std::size_t from) {
    if (from >= n_) return n_;
    std::size_t word = from / 64;
    std::uint64_t m = mask(word) & (~std::uint64_t{0} << (from % 64));
    while (m == 0) {
      if (++word * 64 >= n_) return n_;
      m = mask(word);
    }
    return word * 64 + static_cast<std::size_t>(std::countr_zero(m));
  }

 private:
  static constexpr std::size_t kBatch = 16;  // words: a kilobyte of text at a time

  void refill(std::size_t word) {
    first_ = word;
    std::size_t from = word * 64, left = n_ - from;
    find_(p_ + from, left < kBatch * 64 ? left : kBatch * 64, batch_);
  }

  const char* p_;
  std::size_t n_;
  MaskFinder find_;
  std::size_t first_ = 0;
  std::uint64_t batch_[kBatch];
};

}  // namespace dbc::pageconv
