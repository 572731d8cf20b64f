// Library code never ends the process: where a program must stop from deep inside a run, it prints
// its message and throws a Stop that only main catches and turns into the exit status.
#pragma once

namespace dbc {

struct Stop {
  int status;
};

}  // namespace dbc
