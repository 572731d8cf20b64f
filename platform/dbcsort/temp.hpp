// The temporary files of a sort: the output written under a stand-in name beside its own, and the
// run files. Their names fit wherever the output's name fits, and none of them outlives a run that
// SIGHUP, SIGINT or SIGTERM ends.
#pragma once

#include <string>
#include <string_view>

#include "common/io.hpp"
#include "common/signals.hpp"

namespace dbc::dbcsort {

// The mkstemp pattern of a temporary file in `folder` whose name begins with `stem`: the stem and
// ".XXXXXX", the stem cut short where the folder's limit on the length of a name (or the limit on
// the length of a path) leaves no room for the suffix.
std::string tempPattern(const std::string& folder, std::string_view stem);

// Creates the file of `pattern` (completed in place), readable and writable by its owner only.
// `onSignal` then removes it should a signal end the process; the signals are held off until it
// does, so there is no moment at which the file exists and would be left behind. An invalid Fd
// with errno set on failure.
dbc::Fd createTemp(std::string& pattern, dbc::RemoveOnSignal& onSignal);

// Creates the file of `pattern` and removes its name at once, the signals held off meanwhile:
// the file then vanishes with its last descriptor, however the process ends.
dbc::Fd createUnnamed(std::string pattern);

}  // namespace dbc::dbcsort
