// How DBCSORT divides its memory budget between the records it sorts in memory and the buffers
// of its reads and writes, so that the whole stays within the budget whatever the number of
// threads.
#pragma once

#include <cstddef>

namespace dbc::dbcsort {

// The most threads a sort uses, however many processors the machine has.
inline constexpr std::size_t kMaxThreads = 64;

struct Budget {
  std::size_t total;
  std::size_t threads;      // threads that sort and merge at once
  std::size_t ioBuffer;     // the input's read buffer, and each output or run writer
  std::size_t chunks;       // runs built at once: one filled from the input, the others sorted
  std::size_t chunk;        // records and their keys of one run while it is built
  std::size_t mergeBuffer;  // read buffer of each run during a merge that runs alone
  std::size_t fanIn;        // runs merged at once

  // `threads` is cut down where the budget would leave each thread too small a chunk to be
  // worth sorting apart; one thread gets the whole budget's chunk.
  static Budget of(std::size_t total, std::size_t threads = 1);
  // The same budget with its records' memory in one chunk: for records that stay where they
  // lie, whose chunks hold only their entries, so that one chunk sorted by every thread takes
  // them all and no merge of chunks is needed after.
  Budget oneChunk() const;
  // How many of `merges` merges may run side by side: no more than the threads, and no more
  // than leave each run's read buffer its least size.
  std::size_t mergesAtOnce(std::size_t merges) const;
  // One of `ways` equal shares of a buffer of `size`, no less than the least buffer.
  static std::size_t share(std::size_t size, std::size_t ways);
};

}  // namespace dbc::dbcsort
