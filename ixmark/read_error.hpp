// A read that fails is never taken for the end of a file, nor is what came before it taken for
// all there is: the index would seem to lack entries, or the data records, and the run would
// report disagreements that do not exist. The run stops instead, naming the file.
#pragma once

#include <cstdio>
#include <string>

#include "common/stop.hpp"

namespace dbc::ixmark {

[[noreturn]] inline void readError(std::FILE* out, const std::string& path) {
  std::fprintf(out, "\nError reading %s \n", path.c_str());
  throw Stop{1};
}

}  // namespace dbc::ixmark
