// A line's text as the document carries it: every byte that needs it escaped. Nearly all the
// time of a conversion goes here, so the text is escaped a vector at a time where the processor
// allows it, not one escape after another.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#include "common/simd.hpp"
#include "pageconv/scan.hpp"

namespace dbc::pageconv {

// What each byte becomes in the document, at most four bytes.
struct Escape {
  char text[4];
  unsigned char size;
};

constexpr std::array<Escape, 256> makeEscapes() {
  std::array<Escape, 256> t{};
  constexpr char kHex[] = "0123456789abcdef";
  for (unsigned v = 0; v < 256; ++v) {
    const unsigned char c = static_cast<unsigned char>(v);
    Escape& e = t[v];
    if (!isEscaped(c)) {
      e = {{static_cast<char>(c)}, 1};
    } else if (isRtfSpecial(c)) {
      e = {{'\\', static_cast<char>(c)}, 2};
    } else {
      e = {{'\\', '\'', kHex[c >> 4], kHex[c & 15]}, 4};
    }
  }
  return t;
}

inline constexpr std::array<Escape, 256> kEscapes = makeEscapes();

// Writes c as the document carries it at w; returns where it ends. Four bytes may be written.
inline char* escape(char* w, unsigned char c) {
  std::memcpy(w, kEscapes[c].text, 4);
  return w + kEscapes[c].size;
}

// Writes the text of p[0..end - p) up to its first line end (or to `end`) escaped at w, which
// then points past it, and returns where the text stopped. Room for 4 (end - p) + kLineSlack
// bytes is needed at w; nothing at or past `end` is read.
using LineWriter = const char* (*)(char*& w, const char* p, const char* end);
inline constexpr std::size_t kLineSlack = 64;

// The line writers, the plainest first; each is the same function of its input.
const char* lineWords(char*& w, const char* p, const char* end);
#ifdef DBC_X86_VECTORS
const char* lineSse2(char*& w, const char* p, const char* end);
const char* lineAvx2(char*& w, const char* p, const char* end);
#endif

}  // namespace dbc::pageconv
