#include "platform/dbcsort/key.hpp"

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

void compressedKey(std::string_view record, bool ichrs, const KeySpec& spec, unsigned char* out) {
  std::size_t have =
      dbc::decodeColumns(record, dbc::keptTable(ichrs), spec.first - 1, spec.last, out);
  finishKey(have, spec, out);
}

}  // namespace dbc::dbcsort
