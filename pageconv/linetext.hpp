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

// Lines longer than this are not written by a RunWriter, so that the room a run needs is known.
inline constexpr std::size_t kPlainMax = 4096;

// Whole lines of a block of print, written straight to the document while nothing in them is
// printed over (any carriage returns come right before the line feed or form feed): each opened
// with its paragraph mark, unless a page break opened it, its text escaped and ended by a line
// end; text that a form feed ends is a line of its own, and the page break opens the next line.
struct LineRun {
  const char* p;  // the block
  std::size_t n;
  std::size_t i;  // where the lines start; on return, where the print goes on
  char* w;        // where the document text goes; on return, where it ends
  bool open;      // the line at i is opened already
  // On return before a line not written: where its text ends (its first line end), else
  // i + kPlainMax or n, whichever is less.
  std::size_t end;
  // The layout pass's count of the lines written, which start with no text before them.
  std::int64_t linmax, pagsiz, pagmax;
};

// Writes the lines of `run` that start before `until`, and stops early before a line that it
// cannot write whole: one printed over, one that runs past the end of the block, one longer
// than kPlainMax. Room for 16 (until - i) + 4 kPlainMax + 1024 bytes is needed at w.
using RunWriter = void (*)(LineRun& run, std::size_t until);
inline constexpr std::size_t runRoom(std::size_t bytes) {
  return 16 * bytes + 4 * kPlainMax + 1024;
}

// The line and run writers, the plainest first; each is the same function of its input.
const char* lineWords(char*& w, const char* p, const char* end);
void runWords(LineRun& run, std::size_t until);
#ifdef DBC_X86_VECTORS
const char* lineSse2(char*& w, const char* p, const char* end);
void runSse2(LineRun& run, std::size_t until);
const char* lineAvx2(char*& w, const char* p, const char* end);
void runAvx2(LineRun& run, std::size_t until);
#endif

}  // namespace dbc::pageconv
