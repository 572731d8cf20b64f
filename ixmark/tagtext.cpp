#include "ixmark/tagtext.hpp"

#include <cstring>

namespace dbc::ixmark {

namespace {
constexpr std::size_t kStore = 32;
constexpr char kSpaces[kStore + 1] = "                                ";
}  // namespace

std::size_t decodeTag(std::string_view record, const DecodeTable& t, unsigned char* out) {
  std::size_t col = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(record.data());
  const auto* const stop = p + record.size();
  while (p < stop) {
    const unsigned char c = *p++;
    const unsigned char len = t.len[c];
    if (len <= 2) {
      std::memcpy(out + col, t.text[c], 2);
      col += len;
      continue;
    }
    if (len != DecodeTable::kRun) continue;  // deleted space stands for nothing
    if (p == stop) break;                    // nor does a run marker with no count
    const std::size_t n = *p++;
    // Whole stores: at most kStore - 1 bytes past the run, within the slack.
    for (std::size_t k = 0; k < n; k += kStore) std::memcpy(out + col + k, kSpaces, kStore);
    col += n;
  }
  return col;
}

}  // namespace dbc::ixmark
