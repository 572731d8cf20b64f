#include "ixmark/wordencode.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "common/format.hpp"

namespace dbc::ixmark {

namespace {

using Bytes = const unsigned char*;

// One token at `p`: a whole run of spaces, a digit pair, or one character, written as
// dbc::encodeTo writes it; returns where the next token starts.
Bytes token(Bytes p, Bytes e, bool ichrs, char*& out) {
  const unsigned char c = *p;
  if (c == ' ') {
    Bytes s = p;
    do ++p;
    while (p < e && *p == ' ');
    std::size_t n = static_cast<std::size_t>(p - s);
    for (; n > static_cast<std::size_t>(kMaxSpaceRun); n -= kMaxSpaceRun) {
      *out++ = static_cast<char>(kSpaceRun);
      *out++ = static_cast<char>(kMaxSpaceRun);
    }
    if (n == 1) {
      *out++ = ' ';
    } else {
      *out++ = static_cast<char>(kSpaceRun);
      *out++ = static_cast<char>(n);
    }
    return p;
  }
  if (!ichrs && pairIndex(c) >= 0 && p + 1 < e && pairIndex(p[1]) >= 0) {
    *out++ = static_cast<char>(pairCode(c, p[1]));
    return p + 2;
  }
  *out++ = static_cast<char>(c);
  return p + 1;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHigh = 0x8080808080808080ull;
constexpr std::uint64_t kLanes = 0x00FF00FF00FF00FFull;

// The high bit of the lowest byte of `w` equal to `b` is set, and none below it (bytes above a
// match may be flagged too). Only for words without bytes from 0x80 up.
constexpr std::uint64_t bytesEqual(std::uint64_t w, unsigned char b) {
  const std::uint64_t x = w ^ (kOnes * b);
  return (x - kOnes) & ~x & kHigh;
}

// The high bit of every byte of `w` that is a digit, exactly. Only for words without bytes from
// 0x80 up, so that no sum carries into the next byte.
constexpr std::uint64_t digitBytes(std::uint64_t w) {
  const std::uint64_t atLeast0 = w + kOnes * (0x80 - '0');
  const std::uint64_t above9 = w + kOnes * (0x80 - '9' - 1);
  return atLeast0 & ~above9 & kHigh;
}

// Eight digits as their four pair codes, the first digit in the lowest byte.
inline std::uint32_t pairCodes(std::uint64_t digits) {
  const std::uint64_t v = digits - kOnes * '0';
  std::uint64_t t = (v & kLanes) * 11 + ((v >> 8) & kLanes) + 0x0080008000800080ull;
  t = (t | (t >> 8)) & 0x0000FFFF0000FFFFull;
  t = (t | (t >> 16)) & 0xFFFFFFFFull;
  return static_cast<std::uint32_t>(t);
}

}  // namespace

char* encodeTokens(std::string_view text, bool ichrs, char* out) {
  auto p = reinterpret_cast<Bytes>(text.data());
  const Bytes e = p + text.size();
  while (p < e) p = token(p, e, ichrs, out);
  return out;
}

char* encodeWords(std::string_view text, bool ichrs, char* out) {
  if constexpr (std::endian::native != std::endian::little) return encodeTokens(text, ichrs, out);
  auto p = reinterpret_cast<Bytes>(text.data());
  const Bytes e = p + text.size();
  while (e - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if ((w & kHigh) != 0) {  // bytes the word tests do not take: by the character rules
      p = token(p, e, ichrs, out);
      continue;
    }
    const std::uint64_t digits = digitBytes(w);
    if (!ichrs && digits == kHigh) {
      const std::uint32_t codes = pairCodes(w);
      std::memcpy(out, &codes, 4);
      out += 4;
      p += 8;
      continue;
    }
    std::uint64_t special = bytesEqual(w, ' ');
    if (!ichrs) special |= digits | bytesEqual(w, '.');
    // The characters before the first space, digit or point stand for themselves.
    const int plain = special == 0 ? 8 : std::countr_zero(special) / 8;
    if (plain == 0) {
      p = token(p, e, ichrs, out);
      continue;
    }
    // The next word then starts at the space, digit or point.
    std::memcpy(out, p, 8);
    out += plain;
    p += plain;
  }
  while (p < e) p = token(p, e, ichrs, out);
  return out;
}

}  // namespace dbc::ixmark
