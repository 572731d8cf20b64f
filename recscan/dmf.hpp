// The file's mirroring definition: which of the installation's definition files names it, and
// what that line says about its record length and compression. Found with grep through the shell.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/context.hpp"

namespace dbc::recscan {

// The file's compression by its definition. The numbers are the summary line's.
enum class Compression : int {
  kUndefined = -1,     // not looked up, or the kept text could not be read
  kNotConfigured = 0,  // the definition says no, and so does a missing definition
  kConfigured = 1,
};

// What a definition says about a file.
struct Dmf {
  Compression cmpflg1 = Compression::kUndefined;
  int dmflen = 0;  // record length, 0 when none
};

// The id a file is known by in the definitions: its base name, without up to four trailing
// digits when the base name has 6 or 7 characters.
std::string fileId(std::string_view filnam);

// The fields of the text kept from a definition line: characters 5 to 9 the record length,
// character 10 the compression flag.
Dmf dmfFields(std::string_view dmftxt);

// The command of one search pass: the first line naming `fid` in the definition files under
// `dmfdir` whose names begin with `sys`, cut to its kept text, into `tmpfil`. The folder and the
// id are quoted where they need it; the prefix and *.DMF stay patterns for the shell.
std::string dmfCommand(std::string_view fid, std::string_view dmfdir, std::string_view sys,
                       std::string_view tmpfil);

// The definition folder: $QLON_ROOT/dmf when QLON_ROOT is set and not empty, else /qlon/dmf.
std::string dmfDir(const char* qlonRoot);

// Creates `tmpfil` afresh for the shell to write into, never through a file or link that is
// already there: such an entry is removed first. False, with a message on `out`, when that fails.
bool createTemp(const std::string& tmpfil, std::FILE* out);

// Looks the file up through the context's shell, in two passes (definition files PD*, then any),
// through `tmpfil`, which createTemp has made. Prints "\nError opening <tmpfil>\n" on the
// context's output when the kept text cannot be read.
Dmf getdmf(std::string_view filnam, const std::string& dmfdir, const std::string& tmpfil,
           Context& context);

}  // namespace dbc::recscan
