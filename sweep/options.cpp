#include "sweep/options.hpp"

#include <cstdlib>

namespace dbc::sweep {

namespace {

// A job count as the user wrote it: a whole number from 1 to 1024.
std::optional<int> parseJobs(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > 1024) return std::nullopt;
  return n;
}

// The value of an option that takes one: glued on ("-j4", "--json=F") or the next argument.
std::optional<std::string> valueOf(const std::vector<std::string>& args, std::size_t& i,
                                   std::size_t glued) {
  if (args[i].size() > glued) return args[i].substr(glued);
  if (i + 1 >= args.size()) return std::nullopt;
  return args[++i];
}

}  // namespace

std::optional<Settings> parseArgs(const std::vector<std::string>& args, std::string& error) {
  Settings s;
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options || a.empty() || a[0] != '-' || a == "-") {
      s.folders.push_back(a);
    } else if (a == "--") {
      options = false;
    } else if (a == "-h" || a == "--help") {
      s.help = true;
    } else if (a == "--quiet" || a == "-q") {
      s.quiet = true;
    } else if (a == "--data-only" || a == "--indexes-only") {
      Only only = a == "--data-only" ? Only::kData : Only::kIndexes;
      if (s.only != Only::kAll && s.only != only) {
        error = "--data-only and --indexes-only exclude each other";
      }
      s.only = only;
    } else if (a.rfind("-j", 0) == 0) {
      std::optional<std::string> v = valueOf(args, i, 2);
      std::optional<int> n = v ? parseJobs(*v) : std::nullopt;
      if (!n) error = "-j wants a number of jobs from 1 to 1024";
      s.jobs = n.value_or(0);
    } else if (a == "--json" || a.rfind("--json=", 0) == 0) {
      std::optional<std::string> v = valueOf(args, i, a == "--json" ? a.size() : 7);
      if (!v || v->empty()) error = "--json wants a file name";
      s.json = v.value_or("");
    } else {
      error = "unknown option " + a;
    }
    if (!error.empty()) return std::nullopt;
  }
  return s;
}

void printUsage(std::FILE* out) {
  std::fputs(
      "Usage: dbcsweep [-j JOBS] [--json FILE] [--data-only | --indexes-only] [--quiet] "
      "[FOLDER...]\n"
      "Checks every DB/C data file and ISAM index in the folders (without FOLDER: the\n"
      "configured search path and volumes), read-only, JOBS at a time.\n"
      "   -j JOBS         = files checked at once (default: one per core)\n"
      "   --json FILE     = also write the results as JSON to FILE\n"
      "   --data-only     = check the data files only\n"
      "   --indexes-only  = check the indexes only\n"
      "   --quiet         = list only the files that are not OK, and the summary\n"
      "Exit status: 0 all OK, 1 damage or disagreement found, 2 a file could not be\n"
      "checked, 3 usage error.\n",
      out);
}

}  // namespace dbc::sweep
