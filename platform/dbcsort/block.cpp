#include "platform/dbcsort/block.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/dbcsort/failure.hpp"

namespace dbc::dbcsort {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

Block::Block(std::size_t size) : size_(size) {
  // Mapped with a huge page's worth to spare, so that the block can start on a huge page.
  mapped_ = size + kHugePage;
  void* p = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    fail(1, "DBCSORT: cannot get %zu bytes of memory: %s\n", size, std::strerror(errno));
  }
  auto* base = static_cast<unsigned char*>(p);
  auto addr = reinterpret_cast<std::uintptr_t>(base);
  data_ = base + ((kHugePage - addr % kHugePage) % kHugePage);
  // Only advice: where huge pages are off the block still works with small ones.
  ::madvise(data_, size_, MADV_HUGEPAGE);
  base_ = base;
}

Block::Pages Block::pages(std::size_t from, std::size_t to) const {
  constexpr std::size_t kPage = 4096;
  to = std::min(to, size_);
  from = std::min(from / kPage * kPage, to);
  return {data_ + from, to - from};
}

void Block::populate(Pages pages) {
  // A kernel without the advice leaves the pages to the first writes, as before.
  if (pages.size > 0) ::madvise(pages.at, pages.size, MADV_POPULATE_WRITE);
}

Block::~Block() { release(); }

Block::Block(Block&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)),
      base_(std::exchange(other.base_, nullptr)) {}

Block& Block::operator=(Block&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    base_ = std::exchange(other.base_, nullptr);
  }
  return *this;
}

void Block::release() {
  if (base_ != nullptr) ::munmap(base_, mapped_);
  base_ = nullptr;
  data_ = nullptr;
  size_ = 0;
  mapped_ = 0;
}

}  // namespace dbc::dbcsort
