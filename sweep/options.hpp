// dbcsweep's command line: how many checks at once, where the JSON goes, which kinds of file,
// how much of the table, and the folders (none: the configured ones).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace dbc::sweep {

// The exit statuses a caller (cron, a monitoring check) tells apart.
enum Status : int {
  kAllOk = 0,
  kFindings = 1,   // a data file is damaged or an index disagrees with its data
  kUnchecked = 2,  // something could not be checked, and nothing was found damaged
  kUsage = 3,
};

enum class Only { kAll, kData, kIndexes };

struct Settings {
  int jobs = 0;  // 0: one per core
  std::string json;
  Only only = Only::kAll;
  bool quiet = false;
  bool help = false;
  std::vector<std::string> folders;
};

// Nothing, with the reason in `error`, when the command line is not one dbcsweep takes.
std::optional<Settings> parseArgs(const std::vector<std::string>& args, std::string& error);

void printUsage(std::FILE* out);

}  // namespace dbc::sweep
