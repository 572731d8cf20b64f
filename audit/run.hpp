// The runs of the three audit tools, each from its arguments (those after the program name) to
// its exit status. Each writes its list or its records on the context's output, for the next
// tool of the chain; a usage or open failure is said there too and ends with 1, a failed read or
// write is said on the error stream and ends the run with dbc::Stop{1}.
#pragma once

#include <string>
#include <vector>

#include "common/context.hpp"

namespace dbc::audit {

// jrnmake FILE: the position and checksum of every record of a data file.
int jrnmake(const std::vector<std::string>& args, Context& context);

// jrnjoin LIST1 LIST2: the change list between two checksum lists.
int jrnjoin(const std::vector<std::string>& args, Context& context);

// jrnpick CHANGES FILE [LENGTH]: the records a change list names, as a data file of their own.
int jrnpick(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::audit
