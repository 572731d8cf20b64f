#include "platform/dbcsort/key.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

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

namespace {

// Where the decoded column `from` of `record` starts: the first byte whose text reaches past
// `from`, and the column that byte's text starts at (`from` or before it).
struct Place {
  const unsigned char* at;
  std::size_t col;
};
Place seekColumn(const unsigned char* p, const unsigned char* e, const dbc::DecodeTable& t,
                 std::size_t from) {
  std::size_t col = 0;
  while (p < e) {
    const unsigned char len = t.len[*p];
    std::size_t n = len;
    if (len == dbc::DecodeTable::kRun) {
      if (p + 1 == e) return {e, col};  // a run marker with no count stands for nothing
      n = p[1];
    } else if (len > 2) {
      n = 0;  // deleted space
    }
    if (col + n > from) break;
    col += n;
    p += len == dbc::DecodeTable::kRun ? 2 : 1;
  }
  return {p, col};
}

// The decoded columns from..from+count (count <= kFrontColumns) of `record` at `out`, zeros for
// those it lacks; decodes only from a byte whose text starts at most a space run before them.
void decodeColumns(std::string_view record, bool ichrs, std::size_t from, std::size_t count,
                   unsigned char* out) {
  const dbc::DecodeTable& table = dbc::keptTable(ichrs);
  const auto* p = reinterpret_cast<const unsigned char*>(record.data());
  const Place at = seekColumn(p, p + record.size(), table, from);
  unsigned char text[kFrontColumns + 255 + dbc::kFrontSlack];
  const std::string_view rest(reinterpret_cast<const char*>(at.at),
                              record.size() - static_cast<std::size_t>(at.at - p));
  const std::size_t skip = from - at.col;
  const std::size_t have = dbc::decodeFront(rest, table, skip + count, text);
  const std::size_t n = have > skip ? std::min(have - skip, count) : 0;
  std::memcpy(out, text + skip, n);
  std::memset(out + n, 0, count - n);
}

}  // namespace

std::uint64_t compressedHead(std::string_view record, bool ichrs, const KeySpec& spec,
                             std::size_t depth) {
  if (depth + 8 > spec.width()) {
    // The head reaches the key's length, which only the whole key tells.
    std::vector<unsigned char> key(keyBytes(spec));
    compressedKey(record, ichrs, spec, key.data());
    return keyHead(key.data(), key.size(), depth);
  }
  // The columns the record lacks are zeros, as the whole key has them.
  unsigned char head[8];
  decodeColumns(record, ichrs, spec.first - 1 + depth, 8, head);
  return keyHead(head, 8, 0);
}

void compressedKeyFront(std::string_view record, bool ichrs, const KeySpec& spec, std::size_t count,
                        unsigned char* out) {
  if (count > kFrontColumns) {
    std::vector<unsigned char> key(keyBytes(spec));
    compressedKey(record, ichrs, spec, key.data());
    std::memcpy(out, key.data(), count);
    return;
  }
  decodeColumns(record, ichrs, spec.first - 1, count, out);
}

}  // namespace dbc::dbcsort
