// One run of DBCSORT from its command line to the renamed output file.
#pragma once

#include <string>
#include <vector>

#include "common/context.hpp"

namespace dbc::dbcsort {

// Runs DBCSORT with `args` (argv[1..]), its settings (DBCSORT_MEMORY, TMPDIR, the DB/C
// configuration) taken from the context's environment. Returns the exit status of a completed
// sort (0); every failure prints its message on the context's error stream and throws dbc::Stop:
// status 2 for a wrong command line or setting, 1 for a file that cannot be read or written.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::dbcsort
