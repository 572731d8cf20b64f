// The check of one ISAM index, as `ixmark3 -v INDEX` verifies it against its data file: run in
// this process through ixmark's library, in the check's own work folder, its DBCSORT started
// through the check's context.
#pragma once

#include <string>

#include "sweep/jobcontext.hpp"
#include "sweep/result.hpp"

namespace dbc::sweep {

// MISMATCH when the comparison counts disagreements; ERROR, with the run's last message as the
// reason, when it cannot get to the end of its comparison.
Result checkIndex(const std::string& path, JobContext& job);

}  // namespace dbc::sweep
