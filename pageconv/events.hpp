// The work of both passes that passes over plain text, made with the widest vector instructions
// the processor has: where the bytes of interest lie, a bit mask per 64 bytes, the layout pass's
// count, and a line's text escaped.
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
  RunWriter lines;     // whole plain lines
};

// The searches this processor can run, the plainest first: word-at-a-time arithmetic everywhere,
// then SSE2 and AVX2 where the processor has them.
std::vector<Finders> availableFinders();
// The fastest of them, chosen once.
const Finders& bestFinders();

}  // namespace dbc::pageconv
