// Which folders a sweep covers and which files in them it checks. The folders are the
// configuration's search path and every volume, found as the other programs find them; in each
// folder (not below it) the DB/C data files and the ISAM indexes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/config.hpp"
#include "sweep/options.hpp"
#include "sweep/result.hpp"

namespace dbc::sweep {

// The folders of `dbcdx.file.open` and of every `dbcdx.file.vol.NAME`, in that order, each once.
// Volume names come from the configuration file named by DBC_CFG and from `environment` (its
// "NAME=value" entries); each value is then looked up as opnfil looks it up, else taken from the
// environment variable of that name. A list ends at its first empty element, as it does for them.
std::vector<std::string> configuredFolders(const Config& config, const EnvLookup& env,
                                           const std::vector<std::string>& environment);

// The same folder named twice (also through a link) is swept once: the later names go.
std::vector<std::string> distinctFolders(const std::vector<std::string>& folders);

// One file to check.
struct Target {
  std::string path;
  Kind kind = Kind::kData;
  std::int64_t size = 0;
  std::string problem;  // not empty: it cannot be checked, and this says why
};

// The files of `folder` to check, by name: an index is a file whose name ends in ".ISI", a data
// file one whose last byte is the end-of-file mark or whose name ends in ".TXT". A name that says
// data or index but is no regular file (a FIFO, a device, a dangling link) or cannot be read is a
// target with its problem; any other file that cannot be read is none of ours. False, with the
// reason in `error`, when the folder itself cannot be read.
bool filesIn(const std::string& folder, Only only, std::vector<Target>& targets,
             std::string& error);

}  // namespace dbc::sweep
