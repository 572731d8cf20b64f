#include "common/context.hpp"

#include <unistd.h>

#include "common/shell.hpp"
#include "common/stop.hpp"

namespace dbc {

Context Context::real(ShellRunner runner) {
  Context c;
  c.shell = [out = c.out, runner](const std::string& command) {
    std::fflush(out);
    return runner(command);
  };
  c.clock = [] { return std::clock(); };
  c.sleep = [](unsigned microseconds) { ::usleep(microseconds); };
  c.pid = ::getpid();
  return c;
}

int programMain(const char* name, int argc, char** argv, ProgramRun run, OutputFailure failure,
                ShellRunner shell) {
  if (!openStandardDescriptors()) return 1;
  std::vector<std::string> args(argv + 1, argv + argc);
  Context context = Context::real(shell);
  int status;
  try {
    status = run(args, context);
  } catch (const Stop& stop) {
    status = stop.status;
  }
  return finishStandardOutput(name, status, failure);
}

}  // namespace dbc
