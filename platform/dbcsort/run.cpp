#include "platform/dbcsort/run.hpp"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/io.hpp"
#include "common/stop.hpp"
#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/options.hpp"
#include "platform/dbcsort/output.hpp"
#include "platform/dbcsort/records.hpp"
#include "platform/dbcsort/sorter.hpp"
#include "platform/dbcsort/task.hpp"

namespace dbc::dbcsort {

namespace {

constexpr int kOwnMappingFrom = 64 << 10;

// An input file up to half the machine's memory is mapped: the file cache holds it easily. A
// larger one is read through a buffer, so that it never crowds out everything else's pages.
std::size_t mapAtMost() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return 0;
  return static_cast<std::size_t>(pages) / 2 * static_cast<std::size_t>(page);
}

// The sort's settings from the command line and the environment.
SortJob jobFor(const Options& options, const EnvLookup& env) {
  SortJob job;
  job.form = options.form;
  job.key = options.key;
  std::size_t budget = kDefaultBudget;
  if (const char* m = env("DBCSORT_MEMORY"); m && *m) {
    auto size = parseSize(m);
    if (!size) fail(2, "DBCSORT: DBCSORT_MEMORY is not a size such as 64M: %s\n", m);
    budget = *size;
  }
  std::size_t threads = processors();
  if (const char* t = env("DBCSORT_THREADS"); t && *t) {
    auto n = parseThreads(t);
    if (!n) fail(2, "DBCSORT: DBCSORT_THREADS is not a number of threads such as 4: %s\n", t);
    threads = *n;
  }
  job.budget = Budget::of(budget, threads);
  if (job.form == Form::kCompressed) {
    // ixmark3 writes no digit pairs when the invalid-character switch is configured.
    job.ichrs = !Config(kDbcConfig, env).getenv2("dbcdx.file.ichrs").empty();
  }
  job.mapAtMost = mapAtMost();
  const char* tmp = env("TMPDIR");
  job.tempDir = (tmp && *tmp) ? tmp : folderOf(options.outfile);
  return job;
}

void sortFile(const Options& options, const SortJob& job) {
  Fd in = openFile(options.infile, O_RDONLY);
  if (!in) {
    fail(1, "DBCSORT: cannot open input file %s: %s\n", options.infile.c_str(),
         std::strerror(errno));
  }
  SortedOutput out(options.outfile);
  // An output written directly (a link, a FIFO) may be the input itself, which must then be
  // read whole before the first byte is written over it: it is not mapped.
  SortJob sort = job;
  if (out.tempPath().empty()) sort.mapAtMost = 0;
  {
    Writer w(out.fd(), job.budget.ioBuffer, "output file " + options.outfile);
    if (!out.tempPath().empty()) w.writeBehind();
    sortRecords(sort, in.get(), "input file " + options.infile, w);
    if (job.form == Form::kCompressed) w.put(static_cast<char>(0xFB));
    w.flush();
  }
  out.commit();
}

}  // namespace

int run(const std::vector<std::string>& args, Context& context) {
  auto options = parseOptions(args);
  if (!options) {
    std::fputs(kUsage, context.err);
    throw Stop{2};
  }
  // Buffers of this size come straight from the kernel and go back to it when freed. Otherwise
  // the allocator keeps freed buffers in the arena of the thread that last held them, and with
  // a few threads the sort would outgrow its budget by their sum.
  ::mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
  try {
    sortFile(*options, jobFor(*options, context.env));
  } catch (const Failure& failure) {
    std::fputs(failure.message.c_str(), context.err);
    throw Stop{failure.status};
  } catch (const std::bad_alloc&) {
    // The output's temporary file is gone by now: the stack has unwound past its owner.
    std::fputs("DBCSORT: not enough memory; set DBCSORT_MEMORY to a smaller budget\n", context.err);
    throw Stop{1};
  }
  return 0;
}

}  // namespace dbc::dbcsort
