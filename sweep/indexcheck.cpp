#include "sweep/indexcheck.hpp"

#include <sys/stat.h>

#include "common/stop.hpp"
#include "ixmark/run.hpp"
#include "ixmark/variant.hpp"

namespace dbc::sweep {

Result checkIndex(const std::string& path, JobContext& job) {
  Result r = resultOf(path, Kind::kIndex);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) r.size = st.st_size;
  ixmark::Findings findings{};
  int status;
  try {
    status = ixmark::run(ixmark::kIxmark3, {"-v", path}, job.context(), &findings);
  } catch (const Stop& stop) {
    status = stop.status;
  }
  if (status != 0 || !findings.compared) {
    r.verdict = Verdict::kError;
    r.reason = job.lastLine();
    if (r.reason.empty()) r.reason = "ixmark3 ended with status " + std::to_string(status);
    // The run never looks at its sort's status; a sort that failed is why it could not go on.
    if (job.failedCommand() != 0) {
      r.reason += " (the sort ended with status " + std::to_string(job.failedCommand()) + ")";
    }
    return r;
  }
  r.records = findings.entries;
  r.disagreements = findings.errors;
  r.verdict = findings.errors > 0 ? Verdict::kMismatch : Verdict::kOk;
  return r;
}

}  // namespace dbc::sweep
