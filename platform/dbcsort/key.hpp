// The sort key of one record: the bytes of its key columns, as a fixed-width string whose plain
// byte order is the order the tag builders expect.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/dbcsort/options.hpp"

namespace dbc::dbcsort {

// A record shorter than the last key column compares as if cut there, so a key is a prefix of
// up to width() bytes. It is kept as width() bytes padded with zeros followed by the number of
// real bytes (two bytes, most significant first): comparing two such strings byte by byte
// orders them exactly as comparing the cut keys would, a cut key before any longer one.
inline constexpr std::size_t kKeyLengthBytes = 2;
inline std::size_t keyBytes(const KeySpec& k) { return k.width() + kKeyLengthBytes; }

// The key of a text line (without its line feed): its bytes in the key columns.
void textKey(std::string_view line, const KeySpec& spec, unsigned char* out);

// The key of a compressed record (without its mark), taken from its decoded text: space runs,
// digit pairs unless `ichrs`, deleted-space bytes skipped. Decoding stops after the last key
// column, so long records cost no more than short ones.
void compressedKey(std::string_view record, bool ichrs, const KeySpec& spec, unsigned char* out);

// Eight bytes of a key (`keyBytes` long) from `depth` on as one number, the first byte most
// significant and zeros past the key's end: numbers compare as the bytes do.
inline std::uint64_t keyHead(const unsigned char* key, std::size_t keyBytes, std::size_t depth) {
  if (depth + 8 <= keyBytes) {
    std::uint64_t v;
    std::memcpy(&v, key + depth, 8);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
  }
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | (depth + i < keyBytes ? key[depth + i] : 0u);
  return v;
}

// keyHead(key, keyBytes(spec), depth) of the key compressedKey makes, decoding the record only
// as far as those eight bytes need: the sort takes most records' order from a head alone.
std::uint64_t compressedHead(std::string_view record, bool ichrs, const KeySpec& spec,
                             std::size_t depth);

// The first `count` bytes (count <= spec.width()) of the key compressedKey makes, at `out`,
// decoding the record only as far as they need.
void compressedKeyFront(std::string_view record, bool ichrs, const KeySpec& spec, std::size_t count,
                        unsigned char* out);

inline void recordKey(Form form, std::string_view record, bool ichrs, const KeySpec& spec,
                      unsigned char* out) {
  if (form == Form::kText) {
    textKey(record, spec, out);
  } else {
    compressedKey(record, ichrs, spec, out);
  }
}

}  // namespace dbc::dbcsort
