#include "platform/dbcsort/key.hpp"

#include <cstring>

#include "common/format.hpp"

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
  const std::size_t begin = spec.first - 1;  // decoded column of the first key byte, 0-based
  const std::size_t end = spec.last;         // one past the last key column
  std::size_t col = 0;
  auto put = [&](unsigned char c) {
    if (col >= begin) out[col - begin] = c;
    ++col;
  };
  const auto* p = reinterpret_cast<const unsigned char*>(record.data());
  const auto* stop = p + record.size();
  while (p < stop && col < end) {
    unsigned char b = *p++;
    if (b == dbc::kDeleted) continue;
    if (b == dbc::kSpaceRun) {
      if (p == stop) break;
      std::size_t n = *p++;
      std::size_t from = std::max(col, begin);
      std::size_t to = std::min(col + n, end);
      if (from < to) std::memset(out + (from - begin), ' ', to - from);
      col += n;
    } else if (!ichrs && dbc::isPairByte(b)) {
      const char* pc = dbc::pairText(b);
      put(static_cast<unsigned char>(pc[0]));
      if (col < end) put(static_cast<unsigned char>(pc[1]));
    } else {
      put(b);
    }
  }
  std::size_t have = col > begin ? std::min(col, end) - begin : 0;
  finishKey(have, spec, out);
}

}  // namespace dbc::dbcsort
