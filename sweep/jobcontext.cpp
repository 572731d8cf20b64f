#include "sweep/jobcontext.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace dbc::sweep {

namespace {

constexpr std::uint64_t kSortDefault = std::uint64_t{256} << 20;
constexpr std::uint64_t kSortLeast = std::uint64_t{16} << 10;

// A size as DBCSORT_MEMORY takes it ("64M", "1G", "500000"); 0 when it is none.
std::uint64_t parseSize(std::string text) {
  int shift = 0;
  if (!text.empty()) {
    switch (text.back()) {
      case 'k':
      case 'K':
        shift = 10;
        break;
      case 'm':
      case 'M':
        shift = 20;
        break;
      case 'g':
      case 'G':
        shift = 30;
        break;
      default:
        break;
    }
  }
  if (shift != 0) text.pop_back();
  if (text.empty() || text.size() > 12) return 0;
  std::uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return n << shift;
}

}  // namespace

std::string sortMemoryPerJob(const char* sortMemory, int jobs) {
  std::uint64_t total =
      sortMemory != nullptr && *sortMemory != '\0' ? parseSize(sortMemory) : kSortDefault;
  // A value DBCSORT would refuse is passed on untouched, so that it says so itself.
  if (total == 0) return sortMemory;
  return std::to_string(
      std::max(total / static_cast<std::uint64_t>(std::max(jobs, 1)), kSortLeast));
}

JobContext::JobContext(std::string folder, Children& children, const std::string& sortMemory)
    : folder_(std::move(folder)) {
  context_.out = open_memstream(&buffer_, &size_);
  context_.err = context_.out;
  context_.env = [this](const char* name) -> const char* {
    if (std::string_view(name) == "NDXPROBE_WRK") return folder_.c_str();
    return processEnv(name);
  };
  std::vector<std::string> overrides{"TMPDIR=" + folder_};
  if (!sortMemory.empty()) overrides.push_back("DBCSORT_MEMORY=" + sortMemory);
  context_.shell = [&children, overrides](const std::string& command) {
    return children.run(command, overrides);
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
