#include "platform/dbcsort/chunk.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/partition.hpp"
#include "platform/dbcsort/radix.hpp"

namespace dbc::dbcsort {

namespace {

// Entry layout: the key, the record's offset in the chunk (4 bytes, most significant first, so
// that equal keys keep their input order), the record's length.
constexpr std::size_t kOffsetBytes = 4;
constexpr std::size_t kLengthBytes = 4;

void putBig32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

std::uint32_t getBig32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

}  // namespace

Chunk::Chunk(std::size_t capacity, const ChunkKind& kind)
    : kind_(kind),
      capacity_(capacity),
      mem_(capacity),
      end_(mem_.data() + mem_.size()),
      keyBytes_(keyBytes(kind.key)),
      stride_(keyBytes_ + kOffsetBytes + kLengthBytes) {}

bool Chunk::add(std::string_view record) {
  // Equal keys are ordered by the record's offset in the block, so every record, an empty one
  // too, takes at least one byte there: offsets then rise strictly in input order.
  const std::size_t room = std::max<std::size_t>(record.size(), 1);
  std::size_t need = room + stride_;
  if (used_ + count_ * stride_ + need > mem_.size()) {
    if (count_ > 0) return false;
    // A record larger than the whole budget is still sorted: the block grows for it alone.
    if (record.size() > UINT32_MAX) {
      fail(1, "DBCSORT: a record of %zu bytes is too long to sort\n", record.size());
    }
    mem_ = Block();
    mem_ = Block(need);
    end_ = mem_.data() + mem_.size();
    used_ = 0;
  }
  std::memcpy(mem_.data() + used_, record.data(), record.size());
  unsigned char* e = entry(count_);
  putBig32(e + keyBytes_, static_cast<std::uint32_t>(used_));
  putBig32(e + keyBytes_ + kOffsetBytes, static_cast<std::uint32_t>(record.size()));
  used_ += room;
  recordBytes_ += record.size();
  ++count_;
  return true;
}

void Chunk::sort() {
  const unsigned char* text = mem_.data();
  for (std::size_t i = 0; i < count_; ++i) {
    unsigned char* e = entry(i);
    std::string_view r(reinterpret_cast<const char*>(text) + getBig32(e + keyBytes_),
                       getBig32(e + keyBytes_ + kOffsetBytes));
    recordKey(kind_.form, r, kind_.ichrs, kind_.key, e);
  }
  radixSort(end_ - count_ * stride_, count_, stride_, keyBytes_ + kOffsetBytes);
}

std::string_view Chunk::record(std::size_t i) const {
  const unsigned char* e = sortedEntry(i);
  std::uint32_t off = getBig32(e + keyBytes_);
  std::uint32_t len = getBig32(e + keyBytes_ + kOffsetBytes);
  return {reinterpret_cast<const char*>(mem_.data()) + off, len};
}

void Chunk::writeSorted(Writer& out, RunSamples* samples) const {
  // The records lie in the block in input order, so sorted order visits them at random: each
  // is fetched into the cache a few records ahead of its turn.
  constexpr std::size_t kAhead = 16;
  for (std::size_t i = 0; i < count_; ++i) {
    if (i + kAhead < count_)
      __builtin_prefetch(mem_.data() + getBig32(sortedEntry(i + kAhead) + keyBytes_));
    if (samples) samples->offer(out.written(), key(i));
    writeRecord(out, kind_.form, record(i));
  }
}

void Chunk::clear() {
  used_ = 0;
  count_ = 0;
  recordBytes_ = 0;
  if (mem_.size() != capacity_) {  // back to the budget after an oversized record
    mem_ = Block();
    mem_ = Block(capacity_);
    end_ = mem_.data() + mem_.size();
  }
}

}  // namespace dbc::dbcsort
