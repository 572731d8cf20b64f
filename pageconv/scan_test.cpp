#include "pageconv/scan.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace dbc::pageconv {
namespace {

// Each byte value in each place of a word whose other bytes are of every kind, so that no carry
// or borrow from a neighbour can flag a byte or hide one.
TEST(Scan, WordTestsFlagExactlyTheirBytes) {
  const std::string neighbours = "\t ~_|[]az09{\\\x7f\x80\xff\n\r\f";
  for (int v = 0; v < 256; ++v) {
    unsigned char c = static_cast<unsigned char>(v);
    for (std::size_t at = 0; at < 8; ++at) {
      for (std::size_t from = 0; from + 7 < neighbours.size(); ++from) {
        std::string word = neighbours.substr(from, 8);
        word[at] = static_cast<char>(c);
        // The flags back in memory order, one byte of flags per byte of the word.
        unsigned char escaped[8], ends[8];
        std::uint64_t e = escapedTops(loadWord(word.data())),
                      l = lineEndTops(loadWord(word.data()));
        std::memcpy(escaped, &e, 8);
        std::memcpy(ends, &l, 8);
        for (std::size_t b = 0; b < 8; ++b) {
          unsigned char d = static_cast<unsigned char>(word[b]);
          ASSERT_EQ(escaped[b], isEscaped(d) ? 0x80 : 0) << v << " " << at << " " << from;
          ASSERT_EQ(ends[b], isLineEnd(d) ? 0x80 : 0) << v << " " << at << " " << from;
        }
      }
    }
  }
}

}  // namespace
}  // namespace dbc::pageconv
