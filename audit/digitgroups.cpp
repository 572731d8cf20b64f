#include "audit/digitgroups.hpp"

#include "common/decimal.hpp"

namespace dbc::audit {

void fourDigitGroupsScalar(const std::uint32_t in[4], std::uint64_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = eightDigitWord(in[i]);
}

}  // namespace dbc::audit
