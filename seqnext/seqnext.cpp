// seqnext [counter file]: hands out the next number of a shared counter and prints it for the
// program that called. A caller that finds no number on standard output did not get one.
#include <cstdio>
#include <optional>
#include <string>

#include "common/config.hpp"
#include "common/standard.hpp"
#include "seqnext/counter.hpp"
#include "seqnext/open.hpp"

namespace {

int run(int argc, char** argv) {
  std::optional<std::string> operand;
  if (argc > 1) operand = argv[1];
  seqnext::CounterFile file = seqnext::openCounter(operand, dbc::Config(dbc::kDbcConfig));
  if (!file.fd) {
    if (operand) {
      std::printf("Error opening %s\n", operand->c_str());
    } else {
      std::printf("Error opening SERIAL.TXT\n");
    }
    return 1;
  }

  seqnext::Taken taken = seqnext::takeNumber(file.fd.get(), stdout);
  switch (taken.outcome) {
    case seqnext::Outcome::kNumber:
      // The number counts as handed out only once the file holding it is closed cleanly.
      if (!file.fd.close()) {
        std::printf("Error writing %s\n", file.path.c_str());
        return 1;
      }
      std::printf("%10s%s", taken.field.c_str(), "\n");
      return std::fflush(stdout) == 0 ? 0 : 1;
    case seqnext::Outcome::kOverflow:
      std::printf("Sequence number overflow in %s\n", file.path.c_str());
      return 1;
    case seqnext::Outcome::kWriteFailed:
      std::printf("Error writing %s\n", file.path.c_str());
      return 1;
    case seqnext::Outcome::kReadFailed:
      std::printf("Error reading %s\n", file.path.c_str());
      return 1;
    case seqnext::Outcome::kNoLock:
    case seqnext::Outcome::kShort:
      break;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("seqnext", run(argc, argv));
}
