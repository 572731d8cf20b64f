#include "ixmark/wordencode.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "common/codec.hpp"
#include "common/wordscan.hpp"

namespace dbc::ixmark {

namespace {

using Bytes = const unsigned char*;

constexpr std::uint64_t kLanes = 0x00FF00FF00FF00FFull;

// The high bit of the lowest byte of `w` equal to `b` is set, and none below it (bytes above a
// match may be flagged too). Only for words without bytes from 0x80 up.
constexpr std::uint64_t bytesEqual(std::uint64_t w, unsigned char b) {
  const std::uint64_t x = w ^ (kByteOnes * b);
  return (x - kByteOnes) & ~x & kByteTops;
}

// The high bit of every byte of `w` that is a digit, exactly. Only for words without bytes from
// 0x80 up, so that no sum carries into the next byte.
constexpr std::uint64_t digitBytes(std::uint64_t w) {
  const std::uint64_t atLeast0 = w + kByteOnes * (0x80 - '0');
  const std::uint64_t above9 = w + kByteOnes * (0x80 - '9' - 1);
  return atLeast0 & ~above9 & kByteTops;
}

// Eight digits as their four pair codes, the first digit in the lowest byte.
inline std::uint32_t pairCodes(std::uint64_t digits) {
  const std::uint64_t v = digits - kByteOnes * '0';
  std::uint64_t t = (v & kLanes) * 11 + ((v >> 8) & kLanes) + 0x0080008000800080ull;
  t = (t | (t >> 8)) & 0x0000FFFF0000FFFFull;
  t = (t | (t >> 16)) & 0xFFFFFFFFull;
  return static_cast<std::uint32_t>(t);
}

}  // namespace

char* encodeWords(std::string_view text, bool ichrs, char* out) {
  if constexpr (std::endian::native != std::endian::little) return encodeTo(text, ichrs, out);
  auto p = reinterpret_cast<Bytes>(text.data());
  const Bytes e = p + text.size();
  while (e - p >= 8) {
    const std::uint64_t w = loadWord(p);
    if ((w & kByteTops) != 0) {  // bytes the word tests do not take: by the character rules
      encodeToken(p, e, ichrs, out);
      continue;
    }
    const std::uint64_t digits = digitBytes(w);
    if (!ichrs && digits == kByteTops) {
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
      encodeToken(p, e, ichrs, out);
      continue;
    }
    // The next word then starts at the space, digit or point.
    std::memcpy(out, p, 8);
    out += plain;
    p += plain;
  }
  while (p < e) encodeToken(p, e, ichrs, out);
  return out;
}

}  // namespace dbc::ixmark
