#include "platform/dbcsort/failure.hpp"

#include <cstdarg>
#include <cstdio>

namespace dbc::dbcsort {

void fail(int status, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string message(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  std::vsnprintf(message.data(), message.size() + 1, format, again);
  va_end(again);
  throw Failure{status, std::move(message)};
}

}  // namespace dbc::dbcsort
