// Locating and opening a DB/C file the way the DB/C runtime does: name:volume, dir/name,
// name.ext, a default extension, the configured volumes and the dbcdx.file.open search path.
#pragma once

#include <string>
#include <string_view>

#include "common/config.hpp"
#include "common/io.hpp"

namespace dbc {

// How the programs that carry the routine differ.
struct OpnfilVariant {
  bool keepExtension;  // an extension written in the name is used, else the default replaces it
  bool readWrite;      // open for reading and writing, else read only
  bool trace;          // print every path on a line of its own before it is tried, on config.out()
  bool dotFallback;    // no list and no search path: try ./name
};
inline constexpr OpnfilVariant kRecscanOpen{true, true, false, true};
inline constexpr OpnfilVariant kIxmarkOpen{false, false, true, false};
inline constexpr OpnfilVariant kSeqnextOpen{false, true, false, false};

struct Opened {
  Fd fd;               // invalid when nothing could be opened
  std::string name;    // the bare name with its extension (what recscan reports)
  std::string fulnam;  // the path opened, else the last path tried (empty when none was)
};

// Never creates a file: one that is missing or may not be opened in the variant's mode counts as
// not found in that place. Names and paths of any length are handled whole.
Opened opnfil(std::string_view name, std::string_view defext, const OpnfilVariant& variant,
              const Config& config);

}  // namespace dbc
