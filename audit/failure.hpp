// How an audit tool stops when reading an input or writing its output fails. Its output is data
// that the next tool of the chain reads: taking a read error for the end of the input, or a lost
// write for a done one, would pass a short list off as a complete one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace dbc::audit {

struct Failure {
  std::string program;  // heads the message
  std::FILE* out;       // flushed first, so that the message follows what was printed before
  std::FILE* err;       // where the message goes

  // Says "PROGRAM: error DOING: REASON" and throws dbc::Stop{1}.
  [[noreturn]] void stop(std::string_view doing, int error) const;
};

}  // namespace dbc::audit
