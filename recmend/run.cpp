#include "recmend/run.hpp"

#include <cstdio>

#include "recmend/ndxprobe.hpp"
#include "recmend/options.hpp"
#include "recmend/repair.hpp"

namespace dbc::recmend {

namespace {

// What the run does once the options are read; the first that applies wins.
enum class Decision { kHelp, kError, kTooLarge, kRun, kMissingParameters };

Decision decide(const Settings& s, bool error) {
  if (s.HELP_FLAG) return Decision::kHelp;
  if (error) return Decision::kError;
  // Two record buffers are held during the run; no DB/C record is longer than this.
  if (s.RECORD_SIZE > MAX_RECORD_SIZE) return Decision::kTooLarge;
  if (!s.DATAFILE.empty() && s.RECORD_SIZE != 0) return Decision::kRun;
  return Decision::kMissingParameters;
}

void repair(const Settings& s, Context& context) {
  std::fprintf(context.out, "Using fill character: '%c' (hex: %x; dec: %d).\n", s.FILL_VALUE,
               s.FILL_VALUE, s.FILL_VALUE);
  // Its result changes nothing, and the probe follows a failed repair too: the probe tests the
  // indexes, whatever became of the records.
  process_file(s, context);
  if (s.NDXPROBE_FLAG) run_ndxprobe(s, context);
}

}  // namespace

int run(const std::vector<std::string>& args, Context& context) {
  Settings s;
  bool error = read_options(s, args, context.out);
  switch (decide(s, error)) {
    case Decision::kHelp:
      help_msg(context.out);
      break;
    case Decision::kTooLarge:
      std::fprintf(context.out, "Record size %zu is too large; the largest is %zu.\n",
                   static_cast<std::size_t>(s.RECORD_SIZE),
                   static_cast<std::size_t>(MAX_RECORD_SIZE));
      [[fallthrough]];
    case Decision::kError:
      std::fputs("Error detected. Program shutting down.\n", context.out);
      break;
    case Decision::kRun:
      repair(s, context);
      break;
    case Decision::kMissingParameters:
      std::fputs("Not all parameters provided. Exiting program.\n", context.out);
      std::fputs("Data file: ", context.out);
      std::fwrite(s.DATAFILE.data(), 1, s.DATAFILE.size(), context.out);
      std::fprintf(context.out, "; RECORD_SIZE: %zu; POSITION_SET = %zu\n",
                   static_cast<std::size_t>(s.RECORD_SIZE),
                   static_cast<std::size_t>(s.POSITION_SET));
      break;
  }
  // The status is 0 whatever happened, a refused command line and a failed repair included:
  // the scripts that start recmend read its report, not its status.
  return 0;
}

}  // namespace dbc::recmend
