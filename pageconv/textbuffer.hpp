// The document on its way out. Converting writes straight into it: room for the most a stretch
// of print can become is made first and the text that was written is kept, without clearing the
// room beforehand. The text is kept at the start of a page of memory, which lets the kernel copy
// it to the file at full speed when it is written out a page at a time.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "common/pages.hpp"

namespace dbc::pageconv {

class TextBuffer {
 public:
  // At least n bytes that may be written from the end of the text on; the text may move.
  char* room(std::size_t n) {
    if (capacity_ - size_ < n) grow(n);
    return data_.get() + size_;
  }
  // The text now ends at `end`, within the room last made.
  void setEnd(char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
  void append(std::string_view s) {
    std::memcpy(room(s.size()), s.data(), s.size());
    size_ += s.size();
  }
  void push(char c) {
    *room(1) = c;
    ++size_;
  }

  std::string_view text() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }
  // Drops the first n bytes of the text.
  void consume(std::size_t n);

 private:
  void grow(std::size_t n);

  PageMemory data_;
  std::size_t size_ = 0, capacity_ = 0;
};

}  // namespace dbc::pageconv
