// recscan's settings: the switches of the command line (whole arguments; the file name is the last
// other argument), the usage text, and what the run adds to them before the scan starts.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "recscan/dmf.hpp"

namespace dbc::recscan {

// Which bytes a repair replaces. The number is that of the -f<n> switch, and "Fix option is %i"
// prints it.
enum class FixMode : int {
  kNone = 0,
  kControls = 1,        // 0x00 and control characters but tab, 0x14 and escape, by 0x20
  kNullToSpace = 2,     // 0x00 by 0x20
  kNullToDeleted = 3,   // 0x00 by 0xFF, and a record mark read after 0x00 or 0xFF by 0xFF
  kHighToSpace = 4,     // 0x80..0xF8 of a file configured uncompressed, switch off, by 0x20
  kDeletedToSpace = 5,  // 0xFF after data characters of its record, by 0x20
};

struct Settings {
  // The command line.
  bool hlpflg = false;              // help asked for, or no argument at all
  FixMode fixflg = FixMode::kNone;  // the last -f<n> counts
  bool dbgflg = false;              // -d: every bad byte
  bool sumflg = false;              // -s: one summary line
  bool verflg = false;              // -p, -v: progress display
  bool bytflg = false;              // -b: sizes in bytes
  bool cmpflg = false;              // -c: compressed size
  bool filflg = false;              // a file name was given
  std::string filnam;

  // Added by the run before the scan: the invalid-character switch of the configuration, and
  // the file's mirroring definition.
  bool ichflg = false;  // 0x80..0xF8 are characters of their own
  Dmf dmf;
};

// An argument that starts with '-' and is no switch is ignored.
Settings parseArgs(const std::vector<std::string>& args);

void printUsage(std::FILE* out);

}  // namespace dbc::recscan
