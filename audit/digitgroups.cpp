#include "audit/digitgroups.hpp"

#include "common/decimal.hpp"

namespace dbc::audit {

void fourDigitGroupsScalar(const std::uint32_t in[4], std::uint64_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = eightDigitWord(in[i]);
}

EightWords eightDigitGroupsScalar(const std::uint32_t a[4], const std::uint32_t b[4]) {
  EightWords out;
  for (int i = 0; i < 4; ++i) {
    out.words[i] = eightDigitWord(a[i]);
    out.words[4 + i] = eightDigitWord(b[i]);
  }
  return out;
}

}  // namespace dbc::audit
