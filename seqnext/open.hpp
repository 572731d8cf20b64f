// Finding the counter file: the DB/C file SERIAL.TXT when no name is given, else the name as a
// plain path first and then as a DB/C name.
#pragma once

#include <optional>
#include <string>

#include "common/config.hpp"
#include "common/io.hpp"

namespace dbc::seqnext {

struct CounterFile {
  Fd fd;             // invalid when the file could not be opened
  std::string path;  // the path that was opened, for messages
};

// Opens for reading and writing and never creates the file.
CounterFile openCounter(const std::optional<std::string>& operand, const Config& config);

}  // namespace dbc::seqnext
