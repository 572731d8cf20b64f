#include "common/codec.hpp"

#include <algorithm>
#include <cstring>

namespace dbc {

void appendDecoded(std::string_view record, const DecodeTable& t, std::string& out) {
  // Decoded into a local block, handed over when it runs short of room for a space run and at
  // the end: one append per record rather than one per character.
  const auto* p = reinterpret_cast<const unsigned char*>(record.data());
  const auto* const e = p + record.size();
  char block[1024];
  constexpr std::size_t kRoom = sizeof block - 255;
  char* o = block;
  while (p < e) {
    if (static_cast<std::size_t>(o - block) > kRoom) {
      out.append(block, static_cast<std::size_t>(o - block));
      o = block;
    }
    unsigned char c = *p++;
    unsigned char len = t.len[c];
    if (len <= 2) {
      std::memcpy(o, t.text[c], 2);
      o += len;
    } else if (len == DecodeTable::kRun && p < e) {
      std::memset(o, ' ', *p);
      o += *p++;
    }
  }
  out.append(block, static_cast<std::size_t>(o - block));
}

std::size_t decodeColumns(std::string_view record, const DecodeTable& t, std::size_t begin,
                          std::size_t end, unsigned char* out) {
  std::size_t col = 0;  // decoded column of the next character, 0-based
  const auto* p = reinterpret_cast<const unsigned char*>(record.data());
  const auto* const stop = p + record.size();
  while (p < stop && col < end) {
    unsigned char c = *p++;
    unsigned char len = t.len[c];
    if (len <= 2 && col >= begin && col + 2 <= end) {
      // Room for both: copied whole, the second byte left for the next character to overwrite.
      std::memcpy(out + (col - begin), t.text[c], 2);
      col += len;
    } else if (len <= 2) {
      for (unsigned char k = 0; k < len && col < end; ++k, ++col) {
        if (col >= begin) out[col - begin] = static_cast<unsigned char>(t.text[c][k]);
      }
    } else if (len == DecodeTable::kRun) {
      if (p == stop) break;
      std::size_t n = *p++;
      std::size_t from = std::max(col, begin);
      std::size_t to = std::min(col + n, end);
      if (from < to) std::memset(out + (from - begin), ' ', to - from);
      col += n;
    }
  }
  return col > begin ? std::min(col, end) - begin : 0;
}

std::size_t decodeFront(std::string_view record, const DecodeTable& t, std::size_t end,
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
    } else if (len == DecodeTable::kRun) {
      if (p == stop) break;  // a run marker with no count stands for nothing
      const std::size_t n = *p++;
      std::memset(out + col, ' ', n);
      col += n;
    }
  }
  return std::min(col, end);
}

char* encodeTo(std::string_view text, bool ichrs, char* out) {
  // A token at a time: this is the inner loop of every tag and record written.
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const e = p + text.size();
  while (p < e) encodeToken(p, e, ichrs, out);
  return out;
}

void appendEncoded(std::string_view text, bool ichrs, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char* end = encodeTo(text, ichrs, out.data() + start);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

}  // namespace dbc
