// DBCSORT: the sort utility that ixmark3 and ixmark start to order their tag files.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "common/standard.hpp"
#include "common/stop.hpp"
#include "platform/dbcsort/run.hpp"

namespace {

int runProgram(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return dbcsort::runDbcsort(args);
  } catch (const dbc::Stop& stop) {
    std::fflush(stdout);
    return stop.status;
  } catch (const std::bad_alloc&) {
    // The output's temporary file is gone by now: the stack has unwound past its owner.
    std::fputs("DBCSORT: not enough memory; set DBCSORT_MEMORY to a smaller budget\n", stderr);
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("DBCSORT", runProgram(argc, argv));
}
