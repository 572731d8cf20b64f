// Makes one I/O call of a program under test fail (or chosen calls slow), through the preloaded
// fault injector.
#pragma once

#include <string>

#include "testkit/runner.hpp"

namespace testkit {

struct Fault {
  std::string op;                // "write" (write, pwrite), "read" (read, pread), "rename", "fsync"
  int nth = 1;                   // the N-th such call on a descriptor above 2 fails
  bool repeat = false;           // and every one after it
  std::string error = "ENOSPC";  // or "EIO"
  int slowMicros = 0;            // above 0: the chosen calls succeed, each this much later
  std::string program = "";      // when set, this program alone; what it starts runs unharmed
};

// Adds the injector and its settings to the command's environment.
void inject(Command& command, const Fault& fault);

}  // namespace testkit
