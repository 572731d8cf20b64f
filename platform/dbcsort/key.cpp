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

// Keys that end by this column are decoded on the stack by decodeFront.
constexpr std::size_t kFrontColumns = 1024;

// The first `end` decoded columns of `record` (end <= kFrontColumns) at `out`, which has room
// for kFrontColumns + 256 bytes; returns how many of them the record has. Every character is
// decoded from column 1 with no test of where the key starts: for short keys near the start of
// the record, as tags have, this is what decodes each record fastest.
std::size_t decodeFront(std::string_view record, const dbc::DecodeTable& t, std::size_t end,
                        unsigned char* out) {
  std::size_t col = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(record.data());
  const auto* const stop = p + record.size();
  while (p < stop && col < end) {
    const unsigned char c = *p++;
    const unsigned char len = t.len[c];
    if (len <= 2) {
      std::memcpy(out + col, t.text[c], 2);
      col += len;
    } else if (len == dbc::DecodeTable::kRun) {
      if (p == stop) break;  // a run marker with no count stands for nothing
      const std::size_t n = *p++;
      std::memset(out + col, ' ', n);
      col += n;
    }
  }
  return std::min(col, end);
}

}  // namespace

void compressedKey(std::string_view record, bool ichrs, const KeySpec& spec, unsigned char* out) {
  const dbc::DecodeTable& table = dbc::keptTable(ichrs);
  if (spec.last > kFrontColumns) {
    finishKey(dbc::decodeColumns(record, table, spec.first - 1, spec.last, out), spec, out);
    return;
  }
  unsigned char text[kFrontColumns + 256];
  const std::size_t have = decodeFront(record, table, spec.last, text);
  const std::size_t skip = spec.first - 1;
  const std::size_t n = have > skip ? have - skip : 0;
  std::memcpy(out, text + skip, n);
  finishKey(n, spec, out);
}

}  // namespace dbc::dbcsort
