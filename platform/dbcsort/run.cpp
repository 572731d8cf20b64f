#include "platform/dbcsort/run.hpp"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/io.hpp"
#include "common/stop.hpp"
#include "platform/dbcsort/options.hpp"
#include "platform/dbcsort/output.hpp"
#include "platform/dbcsort/records.hpp"
#include "platform/dbcsort/sorter.hpp"

namespace dbcsort {

int runDbcsort(const std::vector<std::string>& args, const dbc::EnvLookup& env) {
  auto options = parseOptions(args);
  if (!options) {
    std::fputs(kUsage, stderr);
    throw dbc::Stop{2};
  }
  SortJob job;
  job.form = options->form;
  job.key = options->key;
  std::size_t budget = kDefaultBudget;
  if (const char* m = env("DBCSORT_MEMORY"); m && *m) {
    auto size = parseSize(m);
    if (!size) {
      std::fprintf(stderr, "DBCSORT: DBCSORT_MEMORY is not a size such as 64M: %s\n", m);
      throw dbc::Stop{2};
    }
    budget = *size;
  }
  job.budget = Budget::of(budget);
  if (job.form == Form::kCompressed) {
    // ixmark3 writes no digit pairs when the invalid-character switch is configured.
    job.ichrs = !dbc::Config(dbc::kDbcConfig, env).getenv2("dbcdx.file.ichrs").empty();
  }
  const char* tmp = env("TMPDIR");
  job.tempDir = (tmp && *tmp) ? tmp : folderOf(options->outfile);

  dbc::Fd in = dbc::openFile(options->infile, O_RDONLY);
  if (!in) {
    std::fprintf(stderr, "DBCSORT: cannot open input file %s: %s\n", options->infile.c_str(),
                 std::strerror(errno));
    throw dbc::Stop{1};
  }
  SortedOutput out(options->outfile);
  {
    Writer w(out.fd(), job.budget.ioBuffer, "output file " + options->outfile);
    if (!out.tempPath().empty()) w.writeBehind();
    sortRecords(job, in.get(), "input file " + options->infile, w);
    if (job.form == Form::kCompressed) w.put(static_cast<char>(0xFB));
    w.flush();
  }
  out.commit();
  return 0;
}

}  // namespace dbcsort
