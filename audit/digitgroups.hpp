// Four numbers below 10^8 turned into their eight digits each at once: a checksum list line is
// two numbers of up to twenty digits, and turning them into text was as costly as hashing the
// record itself. The groups go through vector lanes side by side instead of one after another.
#pragma once

#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#define DBC_AUDIT_DIGIT_VECTORS 1
#endif

namespace dbc::audit {

// out[i] holds the eight digits of in[i] (below 10^8) with leading zeros, the first digit in the
// lowest byte, as eightDigitWord gives them.
void fourDigitGroupsScalar(const std::uint32_t in[4], std::uint64_t out[4]);
#if defined(DBC_AUDIT_DIGIT_VECTORS)
void fourDigitGroupsSse2(const std::uint32_t in[4], std::uint64_t out[4]);
#endif

// The fastest of the above there is.
inline void fourDigitGroups(const std::uint32_t in[4], std::uint64_t out[4]) {
#if defined(DBC_AUDIT_DIGIT_VECTORS)
  fourDigitGroupsSse2(in, out);
#else
  fourDigitGroupsScalar(in, out);
#endif
}

}  // namespace dbc::audit
