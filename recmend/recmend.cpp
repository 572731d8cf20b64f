// recmend: repairs bytes outside the printable range in the fixed-length records of a DB/C
// data file, and can start the index probe afterwards.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/standard.hpp"
#include "recmend/run.hpp"

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  std::vector<std::string> args(argv + 1, argv + argc);
  // Callers rely on status 0 whatever happened, so a lost report is only said.
  return dbc::finishStandardOutput("recmend",
                                   recmend::recmend_main(args, std::getenv("QLON_ROOT"), stdout, stderr),
                                   dbc::OutputFailure::kMessageOnly);
}
