// recscan's command line: switches compared as whole arguments, the file name the last other
// argument, and the usage text.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace recscan {

struct Settings {
  int hlpflg = 0;  // help asked for, or no argument at all
  int fixflg = 0;  // fix mode 0..5; the last -f<n> counts
  int dbgflg = 0;  // -d: every bad byte
  int sumflg = 0;  // -s: one summary line
  int verflg = 0;  // -p, -v: progress display
  int bytflg = 0;  // -b: sizes in bytes
  int cmpflg = 0;  // -c: compressed size
  int filflg = 0;  // a file name was given
  std::string filnam;
};

// An argument that starts with '-' and is no switch is ignored.
Settings parseArgs(const std::vector<std::string>& args);

void printUsage(std::FILE* out);

}  // namespace recscan
