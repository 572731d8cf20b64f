#include "pageconv/linetext.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "pageconv/events.hpp"

namespace dbc::pageconv {
namespace {

// A line's text escaped up to its end, one byte at a time.
std::string plainLine(std::string_view in, std::size_t* stop) {
  std::string out;
  std::size_t i = 0;
  for (; i < in.size() && !isLineEnd(static_cast<unsigned char>(in[i])); ++i) {
    const Escape& e = kEscapes[static_cast<unsigned char>(in[i])];
    out.append(e.text, e.size);
  }
  *stop = i;
  return out;
}

// The writer on a copy of `in` in memory of exactly its size, writing into exactly the room it
// asks for, so that a read or write past them is caught by the address checks.
std::string written(LineWriter line, std::string_view in, std::size_t* stop) {
  std::unique_ptr<char[]> bytes(new char[in.size() + 1]);
  std::memcpy(bytes.get(), in.data(), in.size());
  std::unique_ptr<char[]> room(new char[4 * in.size() + kLineSlack]);
  char* w = room.get();
  const char* end = line(w, bytes.get(), bytes.get() + in.size());
  *stop = static_cast<std::size_t>(end - bytes.get());
  return std::string(room.get(), w);
}

// Every byte value at every place of texts of every length up to a few vector widths, and a line
// end after it or not, with every instruction set.
TEST(LineText, EveryByteAtEveryPlaceAsOneByteAtATime) {
  for (const Finders& f : availableFinders()) {
    SCOPED_TRACE(f.name);
    for (std::size_t n = 0; n <= 100; n += n < 70 ? 1 : 7) {
      std::string base;
      for (std::size_t i = 0; i < n; ++i) base += static_cast<char>('a' + i % 26);
      for (int v = 0; v < 256; ++v) {
        for (std::size_t at = 0; at < n; at += v % 3 == 0 ? 1 : 5) {
          std::string in = base;
          in[at] = static_cast<char>(v);
          if (at + 3 < n) in[at + 3] = '{';
          std::size_t wantStop = 0, gotStop = 0;
          std::string want = plainLine(in, &wantStop);
          ASSERT_EQ(written(f.line, in, &gotStop), want) << n << " " << v << " " << at;
          ASSERT_EQ(gotStop, wantStop) << n << " " << v << " " << at;
        }
      }
    }
  }
}

// Random texts thick with braces, backslashes and bytes written in hex, the runs of them across
// every edge of the vectors.
TEST(LineText, RandomTextsAsOneByteAtATime) {
  const std::string alphabet = "{}\\\\\x01\x7f\x80\xff\t \n\r\f";
  std::mt19937 rng(77);
  for (int round = 0; round < 20000; ++round) {
    std::string in(rng() % 300, 'x');
    const unsigned density = 1 + rng() % 100;
    for (char& c : in) {
      unsigned r = rng() % 100;
      if (r < density) c = alphabet[rng() % (alphabet.size() - (round % 2 ? 0 : 3))];
    }
    std::size_t wantStop = 0;
    std::string want = plainLine(in, &wantStop);
    for (const Finders& f : availableFinders()) {
      std::size_t gotStop = 0;
      ASSERT_EQ(written(f.line, in, &gotStop), want) << f.name << " " << round;
      ASSERT_EQ(gotStop, wantStop) << f.name << " " << round;
    }
  }
}

}  // namespace
}  // namespace dbc::pageconv
