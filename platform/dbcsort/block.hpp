// The block of memory a run is built in. It comes straight from the kernel, untouched, so that
// only the pages a run really fills are ever used, and asks for huge pages where the kernel
// offers them: a run of millions of records otherwise spends much of its time taking page faults.
#pragma once

#include <cstddef>

namespace dbc::dbcsort {

class Block {
 public:
  Block() = default;
  explicit Block(std::size_t size);
  ~Block();
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  Block(Block&& other) noexcept;
  Block& operator=(Block&& other) noexcept;

  // A stretch of the block's memory for populate(), taken on the thread that owns the block.
  struct Pages {
    unsigned char* at;
    std::size_t size;
  };
  Pages pages(std::size_t from, std::size_t to) const;
  // Has the kernel provide `pages` now, as the first writes to them would, without changing what
  // they hold: only advice, safe on any thread while others write there, and harmless should
  // the block be gone meanwhile.
  static void populate(Pages pages);

  unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void release();

  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;
  unsigned char* base_ = nullptr;  // where the mapping starts
};

}  // namespace dbc::dbcsort
