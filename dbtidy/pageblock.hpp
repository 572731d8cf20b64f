// A fixed block of storage that starts on a page boundary. The kernel copies a read into, or a
// write out of, such a block several times faster than one that starts anywhere else, and the
// source and the output each pass through one on their way.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

namespace dbc::dbtidy {

class PageBlock {
 public:
  static constexpr std::size_t kPage = 4096;

  // n bytes, all zero: the byte scans may read slack that no read has filled yet.
  explicit PageBlock(std::size_t n)
      : data_(static_cast<char*>(::operator new[](roundUp(n), std::align_val_t{kPage}))), size_(n) {
    std::memset(data_.get(), 0, roundUp(n));
  }

  char* data() { return data_.get(); }
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  char& operator[](std::size_t i) { return data_[i]; }
  char operator[](std::size_t i) const { return data_[i]; }

 private:
  struct Free {
    void operator()(char* p) const { ::operator delete[](p, std::align_val_t{kPage}); }
  };
  static std::size_t roundUp(std::size_t n) { return (n + kPage - 1) / kPage * kPage; }

  std::unique_ptr<char[], Free> data_;
  std::size_t size_;
};

}  // namespace dbc::dbtidy
