// One run of pageconv: the print file read twice, once to measure its longest line and page and
// once to convert it, and the RTF document written beside it.
#pragma once

#include <string>
#include <vector>

#include "common/context.hpp"

namespace dbc::pageconv {

// `args` are the print file and the document. Returns the exit status; a failure on the way is
// reported on the context's output and ends the run with dbc::Stop.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::pageconv
