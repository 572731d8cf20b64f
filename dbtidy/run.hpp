// One whole run of dbtidy, from the command line to the closing counters.
#pragma once

#include <cstdio>

namespace dbtidy {

// Returns the exit status; failures deep inside arrive as dbc::Stop and are turned into it here.
int run(int argc, char** argv, std::FILE* out);

}  // namespace dbtidy
