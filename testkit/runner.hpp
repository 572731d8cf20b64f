// Runs a built program as a user would: given arguments, a clean environment with given
// variables, a working folder and standard input; collects its output and exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testkit {

struct RunResult {
  std::string out;  // standard output
  std::string err;  // standard error
  int status = -1;  // exit status, 128 + signal when killed, -1 when it could not start
};

struct Command {
  std::string program;            // a name in the build's bin/ folder, or a path with a '/'
  std::vector<std::string> args;  // argv[1..]
  std::map<std::string, std::string> env;  // the whole environment, beside PATH (see below)
  std::string cwd;                         // working folder; empty: the test's own
  std::string in;                          // standard input
  int timeoutSeconds = 120;                // killed after this
};

// The folder of the built programs: DBC_BIN_DIR, set by the build for every test.
std::string binDir();
std::string binPath(const std::string& program);

// PATH is the build's bin/ folder, then /usr/bin and /bin, unless `env` sets it.
RunResult run(const Command& r);

// Convenience: `program args...` with no environment beyond PATH and no input.
RunResult run(const std::string& program, const std::vector<std::string>& args);

}  // namespace testkit
