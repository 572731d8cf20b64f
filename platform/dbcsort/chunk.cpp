#include "platform/dbcsort/chunk.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/partition.hpp"

namespace dbc::dbcsort {

namespace {

constexpr std::size_t kEntry = sizeof(SortEntry);

// The keys of a chunk's records, where the sort and the readers of the sorted chunk find them.
class ChunkKeys : public KeySource {
 public:
  ChunkKeys(const unsigned char* text, const ChunkKind& kind)
      : KeySource(dbcsort::keyBytes(kind.key)), text_(text), kind_(kind) {}
  const unsigned char* key(const SortEntry& e, unsigned char* scratch) const override {
    const unsigned char* r = text_ + e.offset;
    if (kind_.form == Form::kCompressed) return r + e.length;
    textKey(std::string_view(reinterpret_cast<const char*>(r), e.length), kind_.key, scratch);
    return scratch;
  }

 private:
  const unsigned char* text_;
  const ChunkKind& kind_;
};

}  // namespace

Chunk::Chunk(std::size_t capacity, const ChunkKind& kind)
    : kind_(kind),
      capacity_(capacity),
      keyBytes_(keyBytes(kind.key)),
      keyRoom_(kind.form == Form::kCompressed ? keyBytes_ : 0) {
  setBlock(capacity);
}

// The entries end where the block's last whole entry does; the block starts on a page.
void Chunk::setBlock(std::size_t size) {
  mem_ = Block();
  mem_ = Block(size);
  end_ = reinterpret_cast<SortEntry*>(mem_.data() + mem_.size() / kEntry * kEntry);
}

bool Chunk::add(std::string_view record) {
  // Equal keys are ordered by the record's offset in the block, so every record, an empty one
  // too, takes at least one byte there: offsets then rise strictly in input order.
  const std::size_t room = std::max<std::size_t>(record.size() + keyRoom_, 1);
  const std::size_t need = room + kEntry;
  if (used_ + (count_ + 1) * kEntry + room > mem_.size() / kEntry * kEntry) {
    if (count_ > 0) return false;
    // A record larger than the whole budget is still sorted: the block grows for it alone.
    if (record.size() > UINT32_MAX - keyRoom_) {
      fail(1, "DBCSORT: a record of %zu bytes is too long to sort\n", record.size());
    }
    setBlock(need + kEntry);
    used_ = 0;
  }
  std::memcpy(mem_.data() + used_, record.data(), record.size());
  SortEntry* e = entry(count_);
  e->offset = static_cast<std::uint32_t>(used_);
  e->length = static_cast<std::uint32_t>(record.size());
  used_ += room;
  recordBytes_ += record.size();
  ++count_;
  return true;
}

void Chunk::sort(std::size_t threads) {
  unsigned char* text = mem_.data();
  if (kind_.form == Form::kCompressed) {
    for (std::size_t i = 0; i < count_; ++i) {
      const SortEntry* e = entry(i);
      std::string_view r(reinterpret_cast<const char*>(text) + e->offset, e->length);
      compressedKey(r, kind_.ichrs, kind_.key, text + e->offset + e->length);
    }
  }
  sortEntries(end_ - count_, count_, ChunkKeys(text, kind_), threads);
}

std::string_view Chunk::record(std::size_t i) const {
  const SortEntry* e = sortedEntry(i);
  return {reinterpret_cast<const char*>(mem_.data()) + e->offset, e->length};
}

const unsigned char* Chunk::key(std::size_t i, unsigned char* scratch) const {
  return ChunkKeys(mem_.data(), kind_).key(*sortedEntry(i), scratch);
}

void Chunk::writeSorted(Writer& out, RunSamples* samples) const {
  // The records lie in the block in input order, so sorted order visits them at random: each
  // is fetched into the cache a few records ahead of its turn.
  constexpr std::size_t kAhead = 16;
  std::vector<unsigned char> scratch(keyBytes_);
  for (std::size_t i = 0; i < count_; ++i) {
    if (i + kAhead < count_) __builtin_prefetch(mem_.data() + sortedEntry(i + kAhead)->offset);
    if (samples && samples->wants(out.written()))
      samples->offer(out.written(), key(i, scratch.data()));
    writeRecord(out, kind_.form, record(i));
  }
}

void Chunk::clear() {
  used_ = 0;
  count_ = 0;
  recordBytes_ = 0;
  if (mem_.size() != capacity_)
    setBlock(capacity_);  // back to the budget after an oversized record
}

}  // namespace dbc::dbcsort
