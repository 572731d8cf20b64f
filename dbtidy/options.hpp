// The command line and DBTIDY_OPTS: the words of the run, their parsing into Settings, and the
// texts a user sees before any file is touched (banner, help, acknowledgements).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "dbtidy/settings.hpp"

namespace dbc::dbtidy {

inline constexpr const char* kBanner = "dbtidy - DB/C source beautifier";

// Every single space ends a word, so two spaces in a row give an empty word and an empty value
// gives one empty word; scripts that set DBTIDY_OPTS rely on exactly this.
std::vector<std::string> splitOpts(std::string_view value);

void printHelp(std::FILE* out);

// Parses xargv[2..] into `s`, acknowledging each option on `out`. Returns 0 when every word was
// accepted, 1 when at least one was rejected (all of them are reported). Throws dbc::Stop{1} at
// once for -U after an output file.
int getopts(const std::vector<std::string>& xargv, Settings& s, std::FILE* out);

}  // namespace dbc::dbtidy
