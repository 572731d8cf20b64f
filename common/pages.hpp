// Memory that starts on a page boundary. The kernel copies a read into, or a write out of, such
// memory several times faster than memory that starts anywhere else (so measured on the servers
// we run on), so the large read and write buffers of the converting programs are taken this way.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace dbc {

inline constexpr std::size_t kPageSize = 4096;

struct PageFree {
  void operator()(char* p) const { ::operator delete[](p, std::align_val_t{kPageSize}); }
};
using PageMemory = std::unique_ptr<char[], PageFree>;

// n rounded up to whole pages.
constexpr std::size_t roundToPages(std::size_t n) {
  return (n + kPageSize - 1) / kPageSize * kPageSize;
}

// roundToPages(n) bytes, not cleared.
inline PageMemory allocatePages(std::size_t n) {
  return PageMemory(
      static_cast<char*>(::operator new[](roundToPages(n), std::align_val_t{kPageSize})));
}

}  // namespace dbc
