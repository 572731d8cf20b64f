// The source search path: which of DBC_SRCPATH, DBC_FILEPATH (from the environment or from the
// DB/C environment file) applies, and the lookup of a file name along it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/config.hpp"

namespace dbc::dbtidy {

// Where the chosen path came from, numbered 0 to 4 in this order: the result of get_srcpath.
enum class PathSource : int { kNoPath, kSrcpathEnv, kFilepathEnv, kSrcpathFile, kFilepathFile };

struct SourcePath {
  PathSource result = PathSource::kNoPath;
  std::string srcpath;
};

// Decides the path once at start. `out` gets the message about an environment file that cannot
// be opened or read and, with `verbose`, the trace of the lines read from it.
SourcePath get_srcpath(const EnvLookup& env, bool verbose, std::FILE* out);

// The message that says which path applies.
void reportSrcpath(const SourcePath& p, std::FILE* out);

// The first existing "entry/name" along the ";"-separated `path`; empty when there is none.
std::string searchpath(std::string_view name, std::string_view path);

}  // namespace dbc::dbtidy
