#include "pageconv/textbuffer.hpp"

#include <algorithm>

namespace dbc::pageconv {

void TextBuffer::grow(std::size_t n) {
  std::size_t capacity = roundToPages(std::max({size_ + n, 2 * capacity_, kPageSize}));
  PageMemory data = allocatePages(capacity);
  if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void TextBuffer::consume(std::size_t n) {
  std::memmove(data_.get(), data_.get() + n, size_ - n);
  size_ -= n;
}

}  // namespace dbc::pageconv
