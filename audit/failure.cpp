#include "audit/failure.hpp"

#include <cstring>

#include "common/stop.hpp"

namespace dbc::audit {

void Failure::stop(std::string_view doing, int error) const {
  std::fflush(out);
  std::fprintf(err, "%s: error %.*s: %s\n", program.c_str(), static_cast<int>(doing.size()),
               doing.data(), std::strerror(error));
  throw Stop{1};
}

}  // namespace dbc::audit
