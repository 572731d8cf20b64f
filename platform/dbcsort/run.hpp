// One run of DBCSORT from its command line to the renamed output file.
#pragma once

#include <string>
#include <vector>

#include "common/config.hpp"

namespace dbcsort {

// Runs DBCSORT with `args` (argv[1..]). Returns the exit status of a completed sort (0); every
// failure prints its message on standard error and throws dbc::Stop: status 2 for a wrong command
// line, 1 for a file that cannot be read or written.
int runDbcsort(const std::vector<std::string>& args, const dbc::EnvLookup& env = dbc::processEnv);

}  // namespace dbcsort
