#include "platform/dbcsort/chunk.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/partition.hpp"
#include "platform/dbcsort/task.hpp"

namespace dbc::dbcsort {

namespace {

constexpr std::size_t kEntry = sizeof(SortEntry);
// Below this many records a chunk is written by one thread.
constexpr std::size_t kWriteShareFrom = std::size_t{1} << 15;

// The keys of a chunk's records, where the sort and the readers of the sorted chunk find them.
class ChunkKeys : public KeySource {
 public:
  ChunkKeys(const unsigned char* text, const ChunkKind& kind)
      : KeySource(dbcsort::keyBytes(kind.key)), text_(text), kind_(kind) {}
  const unsigned char* key(const SortEntry& e, unsigned char* scratch) const override {
    recordKey(kind_.form, record(e), kind_.ichrs, kind_.key, scratch);
    return scratch;
  }
  bool headAfter(const SortEntry& e, const unsigned char* prefix, std::size_t depth,
                 std::uint64_t& head, unsigned char* scratch) const override {
    if (kind_.form != Form::kCompressed || depth + 8 > kind_.key.width())
      return KeySource::headAfter(e, prefix, depth, head, scratch);
    compressedKeyFront(record(e), kind_.ichrs, kind_.key, depth + 8, scratch);
    if (std::memcmp(scratch, prefix, depth) != 0) return false;
    head = keyHead(scratch, depth + 8, depth);
    return true;
  }
  std::uint64_t head(const SortEntry& e, std::size_t depth, unsigned char* scratch) const override {
    if (kind_.form == Form::kCompressed)
      return compressedHead(record(e), kind_.ichrs, kind_.key, depth);
    return KeySource::head(e, depth, scratch);
  }

 private:
  std::string_view record(const SortEntry& e) const {
    return {reinterpret_cast<const char*>(text_) + e.offset, e.length};
  }

  const unsigned char* text_;
  const ChunkKind& kind_;
};

}  // namespace

Chunk::Chunk(std::size_t capacity, const ChunkKind& kind, bool inPlace)
    : kind_(kind), capacity_(capacity), inPlace_(inPlace), keyBytes_(keyBytes(kind.key)) {
  setBlock(capacity);
}

// The entries end where the block's last whole entry does; the block starts on a page.
void Chunk::setBlock(std::size_t size) {
  mem_ = Block();
  mem_ = Block(size);
  end_ = reinterpret_cast<SortEntry*>(mem_.data() + mem_.size() / kEntry * kEntry);
  if (!inPlace_) text_ = mem_.data();
}

bool Chunk::addInPlace(std::string_view record) {
  const auto* at = reinterpret_cast<const unsigned char*>(record.data());
  if (count_ == 0) text_ = at;
  // The records lie one after the other, each followed by its terminator, so their offsets
  // rise strictly in input order, as equal keys need; only 32 bits of them are kept.
  const std::size_t offset = static_cast<std::size_t>(at - text_);
  if ((count_ + 1) * kEntry > mem_.size() || offset + record.size() > UINT32_MAX) {
    if (count_ > 0) return false;
    fail(1, "DBCSORT: a record of %zu bytes is too long to sort\n", record.size());
  }
  SortEntry* e = entry(count_);
  e->offset = static_cast<std::uint32_t>(offset);
  e->length = static_cast<std::uint32_t>(record.size());
  recordBytes_ += record.size();
  ++count_;
  return true;
}

bool Chunk::add(std::string_view record) {
  if (inPlace_) return addInPlace(record);
  // Equal keys are ordered by the record's offset in the block, so every record, an empty one
  // too, takes at least one byte there: offsets then rise strictly in input order.
  const std::size_t room = std::max<std::size_t>(record.size(), 1);
  const std::size_t need = room + kEntry;
  if (used_ + (count_ + 1) * kEntry + room > mem_.size() / kEntry * kEntry) {
    if (count_ > 0) return false;
    // A record larger than the whole budget is still sorted: the block grows for it alone.
    if (record.size() > UINT32_MAX) {
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
  sortEntries(end_ - count_, count_, ChunkKeys(text_, kind_), threads);
}

std::string_view Chunk::record(std::size_t i) const {
  const SortEntry* e = sortedEntry(i);
  return {reinterpret_cast<const char*>(text_) + e->offset, e->length};
}

const unsigned char* Chunk::key(std::size_t i, unsigned char* scratch) const {
  return ChunkKeys(text_, kind_).key(*sortedEntry(i), scratch);
}

void Chunk::writeSorted(Writer& out, RunSamples* samples) const {
  writeRange(out, 0, count_, samples);
}

void Chunk::writeRange(Writer& out, std::size_t from, std::size_t to, RunSamples* samples) const {
  // The records lie in the block in input order, so sorted order visits them at random: each
  // is fetched into the cache a few records ahead of its turn.
  constexpr std::size_t kAhead = 16;
  std::vector<unsigned char> scratch(samples ? keyBytes_ : 0);
  for (std::size_t i = from; i < to; ++i) {
    if (i + kAhead < to) __builtin_prefetch(text_ + sortedEntry(i + kAhead)->offset);
    if (samples && samples->wants(out.written()))
      samples->offer(out.written(), key(i, scratch.data()));
    writeRecord(out, kind_.form, record(i));
  }
}

void Chunk::writeSorted(Writer& out, std::size_t threads, std::size_t buffer) const {
  struct stat st;
  const bool placeable = ::fstat(out.fd(), &st) == 0 && S_ISREG(st.st_mode);
  if (threads < 2 || count_ < kWriteShareFrom || !placeable) {
    writeSorted(out);
    return;
  }
  // Each share of the sorted records goes to its own place in the file, found from the sizes
  // of the records before it, so the file is byte for byte what one writer would make.
  std::vector<Task> tasks;
  for (std::size_t t = 0; t < threads; ++t) {
    const std::size_t from = count_ * t / threads, to = count_ * (t + 1) / threads;
    off_t bytes = 0;
    for (std::size_t i = from; i < to; ++i) bytes += sortedEntry(i)->length + 1;
    const off_t at = out.makeRoom(bytes);
    tasks.emplace_back(true, [this, &out, from, to, at, buffer] {
      Writer w(out.fd(), buffer, out.name(), at);
      if (out.writesBehind()) w.writeBehind();
      writeRange(w, from, to, nullptr);
      w.flush();
    });
  }
  for (Task& t : tasks) t.wait();
}

void Chunk::clear() {
  used_ = 0;
  count_ = 0;
  recordBytes_ = 0;
  if (mem_.size() != capacity_)
    setBlock(capacity_);  // back to the budget after an oversized record
}

}  // namespace dbc::dbcsort
