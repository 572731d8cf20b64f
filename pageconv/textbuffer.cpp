#include "pageconv/textbuffer.hpp"

#include <algorithm>

namespace dbc::pageconv {

void TextBuffer::grow(std::size_t n) {
  std::size_t capacity = std::max({size_ + n, 2 * capacity_, kAlign});
  capacity = (capacity + kAlign - 1) / kAlign * kAlign;
  std::unique_ptr<char[], Free> data(
      static_cast<char*>(::operator new[](capacity, std::align_val_t{kAlign})));
  if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void TextBuffer::consume(std::size_t n) {
  std::memmove(data_.get(), data_.get() + n, size_ - n);
  size_ -= n;
}

}  // namespace dbc::pageconv
