// recscan: checks a DB/C data file or text file, counts its records, deleted space and damage,
// estimates its compressed size and repairs damage in place.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/config.hpp"
#include "common/standard.hpp"
#include "common/stop.hpp"
#include "recscan/run.hpp"

namespace {

int runProgram(int argc, char** argv) {
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    dbc::Config config(dbc::kRecscanConfig);
    int status = recscan::run(recscan::parseArgs(args), config, dbc::processEnv, ::getpid());
    std::fflush(stdout);
    return status;
  } catch (const dbc::Stop& stop) {
    std::fflush(stdout);
    return stop.status;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("recscan", runProgram(argc, argv));
}
