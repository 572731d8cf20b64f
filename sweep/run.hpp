// One sweep: the folders and their files found, every file checked (JOBS at a time, the largest
// first, read-only), the progress line, the table and summary, the JSON, the exit status.
#pragma once

#include <string>
#include <vector>

#include "common/context.hpp"

namespace dbc::sweep {

// The exit status: 0 every file OK, 1 damage or disagreement found, 2 something could not be
// checked (and nothing was found damaged), 3 a usage error.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::sweep
