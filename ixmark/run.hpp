// One run of ixmark3 or ixmark: set-up, the index walk writing the tags, the sort, the
// comparison with the data file, and the clean-up of the work files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/context.hpp"
#include "ixmark/variant.hpp"

namespace dbc::ixmark {

// The work files are named after this: the name before any volume, then before any extension,
// then after the last slash; leading points and colons do not count.
std::string baseName(const std::string& orgnam);

// What a verification found, for a caller that runs it in its own process (dbcsweep).
struct Findings {
  // Index entries the walk handed to the tag writer: what a verbose run reports as the records
  // in the index file (an entry repeating the one before it is counted, though no tag is written
  // for it).
  std::int64_t entries = 0;
  // Disagreements between index and data the comparison counted: the figure a verbose run
  // reports as its errors, and the lines of the error file.
  std::int64_t errors = 0;
  // The comparison ran to its end.
  bool compared = false;
};

// One verification as `variant`'s program makes it; `args` are the command line's arguments
// after the program name. Returns the exit status of a run that gets to its end; stops
// (dbc::Stop) with the status of every failure on the way. Everything outside the process it
// reaches through `context` (the environment, with the work folder and the configuration, its
// output, DBCSORT through the shell), so runs on several threads at once, each with a context of
// its own, keep out of each other's way. `findings`, when given, is filled in as the run learns
// each figure, and so tells how far a stopped run got.
int run(const Variant& variant, const std::vector<std::string>& args, Context& context,
        Findings* findings = nullptr);

// ixmark's entry: the run with kIxmark.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::ixmark

namespace dbc::ixmark3 {

// ixmark3's entry: the run with kIxmark3.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::ixmark3
