#include "seqnext/run.hpp"

#include <cstdio>
#include <optional>

#include "common/config.hpp"
#include "seqnext/counter.hpp"
#include "seqnext/open.hpp"

namespace dbc::seqnext {

namespace {

// What the caller is told of a cycle, and the status it ends with.
int tell(const Taken& taken, CounterFile& file, std::FILE* out) {
  switch (taken.outcome) {
    case Outcome::kNumber:
      // The number counts as handed out only once the file holding it is closed cleanly.
      if (!file.fd.close()) {
        std::fprintf(out, "Error writing %s\n", file.path.c_str());
        return 1;
      }
      std::fprintf(out, "%10s%s", taken.field.c_str(), "\n");
      return std::fflush(out) == 0 ? 0 : 1;
    case Outcome::kOverflow:
      std::fprintf(out, "Sequence number overflow in %s\n", file.path.c_str());
      return 1;
    case Outcome::kWriteFailed:
      std::fprintf(out, "Error writing %s\n", file.path.c_str());
      return 1;
    case Outcome::kReadFailed:
      std::fprintf(out, "Error reading %s\n", file.path.c_str());
      return 1;
    case Outcome::kNoLock:
    case Outcome::kShort:
      // Status 0 and no number: callers have always known a failed call by the missing number,
      // and a script that stops on a non-zero status would stop where it never did.
      break;
  }
  return 0;
}

}  // namespace

int run(const std::vector<std::string>& args, Context& context) {
  std::optional<std::string> operand;
  if (!args.empty()) operand = args[0];
  CounterFile file = openCounter(operand, Config(kDbcConfig, context.env, context.out));
  if (!file.fd) {
    // The operand as typed, not the path last tried.
    std::fprintf(context.out, "Error opening %s\n", operand ? operand->c_str() : "SERIAL.TXT");
    return 1;
  }
  return tell(takeNumber(file.fd.get(), context), file, context.out);
}

}  // namespace dbc::seqnext
