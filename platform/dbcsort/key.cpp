#include "platform/dbcsort/key.hpp"

#include <algorithm>
#include <cstring>

#include "common/codec.hpp"

namespace dbc::dbcsort {

namespace {

void finishKey(std::size_t have, const KeySpec& spec, unsigned char* out) {
  std::size_t w = spec.width();
  if (have < w) std::memset(out + have, 0, w - have);
  out[w] = static_cast<unsigned char>(have >> 8);
  out[w + 1] = static_cast<unsigned char>(have & 0xFF);
}

}  // namespace

void textKey(std::string_view line, const KeySpec& spec, unsigned char* out) {
  std::size_t have = 0;
  if (line.size() >= spec.first) {
    have = std::min(line.size(), spec.last) - (spec.first - 1);
    std::memcpy(out, line.data() + spec.first - 1, have);
  }
  finishKey(have, spec, out);
}

namespace {

// Keys that end by this column are decoded on the stack by dbc::decodeFront.
constexpr std::size_t kFrontColumns = 1024;

}  // namespace

void compressedKey(std::string_view record, bool ichrs, const KeySpec& spec, unsigned char* out) {
  const dbc::DecodeTable& table = dbc::keptTable(ichrs);
  if (spec.last > kFrontColumns) {
    finishKey(dbc::decodeColumns(record, table, spec.first - 1, spec.last, out), spec, out);
    return;
  }
  unsigned char text[kFrontColumns + dbc::kFrontSlack];
  const std::size_t have = dbc::decodeFront(record, table, spec.last, text);
  const std::size_t skip = spec.first - 1;
  const std::size_t n = have > skip ? have - skip : 0;
  std::memcpy(out, text + skip, n);
  finishKey(n, spec, out);
}

}  // namespace dbc::dbcsort
