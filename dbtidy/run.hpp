// One whole run of dbtidy, from the command line to the closing counters.
#pragma once

#include <string>
#include <vector>

#include "common/context.hpp"

namespace dbc::dbtidy {

// `args` are the command line after the program name. Returns the exit status; a failure on the
// way is reported on the context's output and ends the run with dbc::Stop.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::dbtidy
