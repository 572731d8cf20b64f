// What a program's run reaches outside itself: the environment, its output and error streams, the
// shell, the clock, sleeping and its process id. Every program has the same seam, a
// `run(args, context)` in its library and a main that only builds the real context, so a test can
// drive any run with captured streams and a fake DBCSORT or DBC, the way a build tool's tests drive
// its builder with a fake command runner.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "common/config.hpp"
#include "common/shell.hpp"
#include "common/standard.hpp"

namespace dbc {

struct Context {
  EnvLookup env = processEnv;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  // Runs a command line through /bin/sh after flushing `out`, so that the child's output follows
  // ours; returns what system(3) returns.
  std::function<int(const std::string& command)> shell;
  // Processor time used so far, CLOCKS_PER_SEC to the second.
  std::function<std::clock_t()> clock;
  std::function<void(unsigned microseconds)> sleep;
  pid_t pid = 0;

  // The process's own: its environment, stdout and stderr, /bin/sh through `runner`, clock(3),
  // usleep(3), getpid(2).
  static Context real(ShellRunner runner = runShell);

  // The value of an environment variable, or null.
  const char* getenv(const char* name) const { return env(name); }
};

using ProgramRun = int (*)(const std::vector<std::string>& args, Context& context);

// main of every program: the standard descriptors opened first, the real context built, a
// dbc::Stop turned into its status, and standard output closed with any loss reported. A program
// whose commands write files it must clean up passes runShellHeld as its `shell`.
int programMain(const char* name, int argc, char** argv, ProgramRun run,
                OutputFailure failure = OutputFailure::kStatus1, ShellRunner shell = runShell);

}  // namespace dbc
