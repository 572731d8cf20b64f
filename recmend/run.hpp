// recmend from its arguments to its end: the option walks, then the decision between the help
// text, an error, a run (repair, then the index probe) and a request for the missing parameters.
#pragma once

#include <string>
#include <vector>

#include "common/context.hpp"

namespace dbc::recmend {

// `args` are the arguments after the program name. QLON_ROOT comes from the context's
// environment, and DBC with the index probe is started through its shell. Returns the exit
// status, always 0.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::recmend
