// An input file held in memory by mapping it instead of reading it. The sort then keeps no copy
// of the records: the chunks hold only their entries, pointing into the file's own pages, which
// are the system's file cache (shared, clean, and given back by the kernel whenever it needs
// them), not memory of the sort's own. Only a regular file is mapped, no larger than it was
// when opened; a pipe, a device or an empty file is read as before. Should another process cut
// the file short while it is sorted, touching the lost pages would raise a bus error: that ends
// the sort with a message and status 1, its temporary files removed, never with a crash or an
// output made of what the file no longer holds.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "common/signals.hpp"

namespace dbc::dbcsort {

class MappedInput {
 public:
  // Maps the file open on `fd` (called `name` in messages) when it is a regular file of 1 to
  // `most` bytes; otherwise, or when the mapping fails, an unmapped input that is read instead.
  static MappedInput of(int fd, std::size_t most, const std::string& name);
  MappedInput() = default;
  ~MappedInput();
  MappedInput(MappedInput&& other) noexcept;
  MappedInput& operator=(MappedInput&&) = delete;
  MappedInput(const MappedInput&) = delete;
  MappedInput& operator=(const MappedInput&) = delete;

  bool mapped() const { return data_ != nullptr; }
  // Has the kernel map every page now, in one pass, instead of at a fault for every few.
  void populate() const;
  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  MappedInput(const unsigned char* data, std::size_t size, const std::string& name);

  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::unique_ptr<std::string> message_;  // where the guard finds it, whatever moves
  std::unique_ptr<dbc::BusErrorGuard> guard_;
};

}  // namespace dbc::dbcsort
