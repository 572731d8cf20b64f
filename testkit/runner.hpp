// Runs a built program as a user would: given arguments, a clean environment with given
// variables, a working folder and standard input; collects its output and exit status.
#pragma once

#include <map>
#include <string>
#include <utility>
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

// Off the happy path: standard descriptors (0, 1, 2) closed before the program starts, a file
// standard output goes to instead of being collected (/dev/full, a FIFO), and a signal sent to the
// program (or its whole process group, as a terminal's ^C does) some time after the start.
struct Hazards {
  std::vector<int> closed;
  std::string stdoutFile;
  int signal = 0;
  double signalAfterSeconds = 0;
  bool signalGroup = false;

  Hazards& close(int fd) { return closed.push_back(fd), *this; }
  Hazards& stdoutTo(std::string path) { return stdoutFile = std::move(path), *this; }
  Hazards& signalAfter(int sig, double seconds, bool group = false) {
    signal = sig, signalAfterSeconds = seconds, signalGroup = group;
    return *this;
  }
};

// The folder of the built programs: DBC_BIN_DIR, set by the build for every test.
std::string binDir();
std::string binPath(const std::string& program);

// PATH is the build's bin/ folder, then /usr/bin and /bin, unless `env` sets it.
RunResult run(const Command& r, const Hazards& h = {});

// Runs the commands at the same moment and waits for all of them.
std::vector<RunResult> runTogether(const std::vector<Command>& commands);

// Convenience: `program args...` with no environment beyond PATH and no input.
RunResult run(const std::string& program, const std::vector<std::string>& args);

}  // namespace testkit
