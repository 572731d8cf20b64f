#include "dbtidy/linestop.hpp"

namespace dbc::dbtidy {

std::uint64_t stopMaskScalar(const char* p) {
  std::uint64_t m = 0;
  for (unsigned i = 0; i < 64; ++i) {
    if (p[i] == '\n' || p[i] == '\r' || p[i] == '\0') m |= std::uint64_t{1} << i;
  }
  return m;
}

}  // namespace dbc::dbtidy
