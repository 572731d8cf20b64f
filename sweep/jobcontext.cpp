#include "sweep/jobcontext.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

#include "common/shell.hpp"
#ifdef DBC_SWEEP_OWN_DBCSORT
#include "platform/dbcsort/options.hpp"
#endif

namespace dbc::sweep {

std::string sortMemoryPerJob(const char* sortMemory, int jobs) {
  const bool given = sortMemory != nullptr && *sortMemory != '\0';
#ifdef DBC_SWEEP_OWN_DBCSORT
  const std::optional<std::size_t> total =
      given ? dbcsort::parseSize(sortMemory) : std::optional(dbcsort::kDefaultBudget);
  // A value DBCSORT would refuse is passed on untouched, so that it says so itself.
  if (!total) return sortMemory;
  return std::to_string(
      std::max(*total / static_cast<std::size_t>(std::max(jobs, 1)), dbcsort::kMinBudget));
#else
  // The DB/C product's own DBCSORT: its budget is its own business.
  (void)jobs;
  return given ? sortMemory : "";
#endif
}

std::string sortThreadsPerJob(const char* sortThreads, int jobs, int cores) {
  if (sortThreads != nullptr && *sortThreads != '\0') return sortThreads;
#ifdef DBC_SWEEP_OWN_DBCSORT
  return std::to_string(std::max(cores / std::max(jobs, 1), 1));
#else
  (void)jobs;
  (void)cores;
  return "";
#endif
}

JobContext::JobContext(std::string folder, Children& children, const SortShare& sort)
    : folder_(std::move(folder)) {
  context_.out = open_memstream(&buffer_, &size_);
  context_.err = context_.out;
  context_.env = [this](const char* name) -> const char* {
    if (std::string_view(name) == "NDXPROBE_WRK") return folder_.c_str();
    return processEnv(name);
  };
  std::vector<std::string> overrides{"TMPDIR=" + folder_};
  if (!sort.memory.empty()) overrides.push_back("DBCSORT_MEMORY=" + sort.memory);
  if (!sort.threads.empty()) overrides.push_back("DBCSORT_THREADS=" + sort.threads);
  context_.shell = [this, &children, overrides](const std::string& command) {
    int status = children.run(command, overrides);
    if (exitStatus(status) != 0) failed_ = exitStatus(status);
    return status;
  };
  context_.clock = [] { return std::clock(); };
  context_.sleep = [](unsigned microseconds) { ::usleep(microseconds); };
  context_.pid = ::getpid();
}

JobContext::~JobContext() {
  if (context_.out != nullptr) std::fclose(context_.out);
  std::free(buffer_);
}

std::string JobContext::lastLine() {
  if (context_.out == nullptr) return {};
  std::fflush(context_.out);
  std::string text(buffer_, size_);
  // Progress counts return to the start of their line with a carriage return: a line of its own.
  std::replace(text.begin(), text.end(), '\r', '\n');
  std::size_t end = text.find_last_not_of(" \n");
  if (end == std::string::npos) return {};
  std::size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

}  // namespace dbc::sweep
