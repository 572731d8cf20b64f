// One run of ixmark3 or ixmark: set-up, the index walk writing the tags, the sort, the
// comparison with the data file, and the clean-up of the work files.
#pragma once

#include <string>

#include "common/config.hpp"
#include "ixmark/variant.hpp"

namespace dbc::ixmark {

// The work files are named after this: the name before any volume, then before any extension,
// then after the last slash; leading points and colons do not count.
std::string baseName(const std::string& orgnam);

// Returns the exit status of a run that gets to its end; stops (dbc::Stop) with the status of
// every failure on the way.
int run(const Variant& variant, int argc, char** argv, const Config& config);

// main of both programs.
int programMain(const Variant& variant, int argc, char** argv);

}  // namespace dbc::ixmark
