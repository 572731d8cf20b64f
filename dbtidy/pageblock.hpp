// A fixed block of storage that starts on a page boundary. The kernel copies a read into, or a
// write out of, such a block several times faster than one that starts anywhere else, and the
// source and the output each pass through one on their way.
#pragma once

#include <cstddef>
#include <cstring>

#include "common/pages.hpp"

namespace dbc::dbtidy {

class PageBlock {
 public:
  static constexpr std::size_t kPage = kPageSize;

  // n bytes, all zero: the byte scans may read slack that no read has filled yet.
  explicit PageBlock(std::size_t n) : data_(allocatePages(n)), size_(n) {
    std::memset(data_.get(), 0, roundToPages(n));
  }

  char* data() { return data_.get(); }
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  char& operator[](std::size_t i) { return data_[i]; }
  char operator[](std::size_t i) const { return data_[i]; }

 private:
  PageMemory data_;
  std::size_t size_;
};

}  // namespace dbc::dbtidy
