// The index probe run: after a repair, the DB/C runtime starts the installed NDXPROBE program
// on the data file so that its indexes are tested against the changed records.
#pragma once

#include <string>
#include <string_view>

#include "common/context.hpp"
#include "recmend/options.hpp"

namespace dbc::recmend {

inline constexpr std::string_view FILEPATH_SEPARATOR = "/";

// The NDXPROBE the installation offers, by the number the tool has always given it: the compiled
// program of version 3 or 2, or the plain one that takes no operands.
enum class NdxprobeVersion : unsigned char { kOne = 1, kTwo = 2, kThree = 3 };

// The last non-empty component of `path` split at any of the characters of `separators`; empty
// when the path holds nothing but separators.
std::string parse_filename(std::string_view path, std::string_view separators);

// The installation root: QLON_ROOT when it is set and not empty, else /qlon.
std::string qlon_root(const char* qlonRootEnv);

// Version 3 or 2 when that compiled program exists under root/src/cf, else version 1.
NdxprobeVersion ndxprobe_version(const std::string& root);

// The command line for `version` on the data file named `name`; the name is quoted for the
// shell unless it is made of letters, digits, '.', '_' and '-' only.
std::string ndxprobe_command(NdxprobeVersion version, std::string_view name);

// Shows the command on the context's output and runs it through the context's shell, waiting
// for it. The installation root comes from the context's QLON_ROOT.
void run_ndxprobe(const Settings& s, Context& context);

}  // namespace dbc::recmend
