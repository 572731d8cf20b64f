// The index probe run: after a repair, the DB/C runtime starts the installed NDXPROBE program
// on the data file so that its indexes are tested against the changed records.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "recmend/options.hpp"

namespace recmend {

inline constexpr std::string_view FILEPATH_SEPARATOR = "/";

// The last non-empty component of `path` split at any of the characters of `separators`; empty
// when the path holds nothing but separators.
std::string parse_filename(std::string_view path, std::string_view separators);

// The installation root: QLON_ROOT when it is set and not empty, else /qlon.
std::string qlon_root(const char* qlonRootEnv);

// The version the installation offers: 3 or 2 when that compiled program exists under
// root/src/cf, else 1.
int ndxprobe_version(const std::string& root);

// The command line for `version` on the data file named `name`; the name is quoted for the
// shell unless it is made of letters, digits, '.', '_' and '-' only.
std::string ndxprobe_command(int version, std::string_view name);

// Shows the command on `out` and runs it through the shell, waiting for it; its outcome is not
// examined.
void run_ndxprobe(const Settings& s, const std::string& root, FILE* out);

}  // namespace recmend
