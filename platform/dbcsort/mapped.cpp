#include "platform/dbcsort/mapped.hpp"

#include <sys/mman.h>
#include <sys/stat.h>

#include <utility>

namespace dbc::dbcsort {

MappedInput MappedInput::of(int fd, std::size_t most, const std::string& name) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
      static_cast<std::size_t>(st.st_size) > most)
    return {};
  const auto size = static_cast<std::size_t>(st.st_size);
  void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (p == MAP_FAILED) return {};
  MappedInput m(static_cast<const unsigned char*>(p), size, name);
  if (!m.guard_->armed()) return {};  // the destructor unmaps it; the file is read instead
  return m;
}

void MappedInput::populate() const {
  // Only advice: a kernel without it leaves the pages to the faults.
  if (data_ != nullptr) ::madvise(const_cast<unsigned char*>(data_), size_, MADV_POPULATE_READ);
}

MappedInput::MappedInput(const unsigned char* data, std::size_t size, const std::string& name)
    : data_(data),
      size_(size),
      message_(std::make_unique<std::string>("DBCSORT: cannot read " + name +
                                             ": it was cut short while it was sorted\n")),
      guard_(std::make_unique<dbc::BusErrorGuard>(data, size, message_->c_str())) {}

MappedInput::MappedInput(MappedInput&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      message_(std::move(other.message_)),
      guard_(std::move(other.guard_)) {}

MappedInput::~MappedInput() {
  if (data_ != nullptr) ::munmap(const_cast<unsigned char*>(data_), size_);
}

}  // namespace dbc::dbcsort
