// How DBCSORT divides its memory budget between the records it sorts in memory and the buffers
// of its reads and writes, so that the whole stays within the budget.
#pragma once

#include <cstddef>

namespace dbc::dbcsort {

struct Budget {
  std::size_t total;
  std::size_t ioBuffer;     // the input's read buffer, and each output or run writer
  std::size_t arena;        // records and their keys while a run is built
  std::size_t mergeBuffer;  // read buffer of each run during a merge
  std::size_t fanIn;        // runs merged at once

  static Budget of(std::size_t total);
};

}  // namespace dbc::dbcsort
