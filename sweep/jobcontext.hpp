// The outside world of one check: its own work folder (as NDXPROBE_WRK, and as TMPDIR for the
// commands it starts), its output kept in memory for the reason of a failure, its share of
// DBCSORT's memory budget, and commands started through the sweep's Children so that a stop
// reaches them.
#pragma once

#include <cstdio>
#include <string>

#include "common/context.hpp"
#include "sweep/children.hpp"

namespace dbc::sweep {

// What each sort of a sweep is given in its environment; an empty value is left to DBCSORT.
struct SortShare {
  std::string memory;   // DBCSORT_MEMORY
  std::string threads;  // DBCSORT_THREADS
};

class JobContext {
 public:
  // `sort` is what the commands get as DBCSORT_MEMORY and DBCSORT_THREADS.
  JobContext(std::string folder, Children& children, const SortShare& sort);
  ~JobContext();
  JobContext(const JobContext&) = delete;
  JobContext& operator=(const JobContext&) = delete;

  Context& context() { return context_; }
  const std::string& folder() const { return folder_; }
  // The last line the check printed that says something: why it failed, when it did.
  std::string lastLine();
  // The exit status of the last command that failed (as a shell reports it), 0 when none did.
  int failedCommand() const { return failed_; }

 private:
  std::string folder_;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  int failed_ = 0;
  Context context_;
};

// The budget of one of `jobs` sorts running at once: DBCSORT_MEMORY (or DBCSORT's own default)
// divided among them, in bytes, never below DBCSORT's least. Where the suite's DBCSORT is not
// built (the product's own is installed), DBCSORT_MEMORY as it stands, or empty.
std::string sortMemoryPerJob(const char* sortMemory, int jobs);

// DBCSORT_THREADS as it stands when set; else the `cores` divided among the `jobs`, at least one
// each, so that the sorts of a sweep together use the machine once rather than once each. Empty
// where the suite's DBCSORT is not built.
std::string sortThreadsPerJob(const char* sortThreads, int jobs, int cores);

}  // namespace dbc::sweep
