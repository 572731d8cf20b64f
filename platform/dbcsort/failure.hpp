// How the sort gives up. Its pieces run on several threads, and more than one of them may fail at
// the same moment (a full disk fails every writer), so a failure is not printed where it happens:
// it travels as an exception to run(), which prints the first one on the run's error stream and
// stops with its status.
#pragma once

#include <string>

namespace dbc::dbcsort {

struct Failure {
  int status;
  std::string message;  // the whole message, ending in a line feed
};

// Throws a Failure with `status` and the message `format` makes of the arguments, as printf would.
[[noreturn]] void fail(int status, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace dbc::dbcsort
