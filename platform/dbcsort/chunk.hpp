// Records for one run, held in one block of memory: the record bytes grow from its start, a
// small entry for each (eight bytes of its key, its offset and length) from its end. A record's
// key is taken from the record itself whenever it is needed, a compressed record's decoded only
// as far as the sort needs: a copy of every key would take more memory than the records, and
// fresh memory costs more to touch than the decoding. The reading thread only copies records
// in; the keys are made and sorted by sort(), which another thread may do while the next chunk
// is read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "platform/dbcsort/block.hpp"
#include "platform/dbcsort/options.hpp"
#include "platform/dbcsort/radix.hpp"
#include "platform/dbcsort/records.hpp"

namespace dbc::dbcsort {

// What a chunk needs to know of the sort.
struct ChunkKind {
  Form form = Form::kText;
  KeySpec key;
  bool ichrs = false;
};

class RunSamples;

class Chunk {
 public:
  // `inPlace`: the records stay where they lie, in memory that outlives the chunk and holds
  // them in input order (a mapped input file), and the chunk keeps only their entries.
  Chunk(std::size_t capacity, const ChunkKind& kind, bool inPlace = false);

  // Takes `record` (a copy of it unless in place); false when it does not fit (an empty chunk
  // takes any record).
  bool add(std::string_view record);
  bool empty() const { return count_ == 0; }
  std::size_t size() const { return count_; }
  // The bytes writeSorted() writes: every record and its terminator.
  off_t outputBytes() const { return static_cast<off_t>(recordBytes_ + count_); }
  // Sorts the records, with up to `threads` threads.
  void sort(std::size_t threads = 1);
  // The i-th record in sorted order and its key (keyBytes() of the key spec, made in `scratch`
  // where it is not kept whole); valid after sort().
  std::string_view record(std::size_t i) const;
  const unsigned char* key(std::size_t i, unsigned char* scratch) const;
  // Writes every record in sorted order to `out`, each with its terminator; `samples`, when
  // given, sees every record written.
  void writeSorted(Writer& out, RunSamples* samples = nullptr) const;
  // The same shared out between `threads` threads, each with a writer of `buffer` bytes, where
  // `out` is a regular file and the records are many enough to be worth it.
  void writeSorted(Writer& out, std::size_t threads, std::size_t buffer) const;
  void clear();
  // The memory that `records` more records of `bytes` bytes in all would fill here, for
  // Block::populate(): the room of their bytes from the block's start, and of their entries
  // from its end (the whole block when they would fill it).
  struct Room {
    Block::Pages bytes, entries;
  };
  Room pagesFor(std::size_t bytes, std::size_t records) const {
    const std::size_t entries = std::min(records * sizeof(SortEntry), mem_.size());
    return {mem_.pages(0, inPlace_ ? 0 : std::min(bytes, mem_.size())),
            mem_.pages(mem_.size() - entries, mem_.size())};
  }

 private:
  SortEntry* entry(std::size_t i) const { return end_ - (i + 1); }
  // The i-th entry in sorted order: after sort() the entries run upwards from the lowest one.
  const SortEntry* sortedEntry(std::size_t i) const { return end_ - (count_ - i); }
  void setBlock(std::size_t size);
  // add() of a record that stays where it is.
  bool addInPlace(std::string_view record);
  // Writes the records from the `from`-th to before the `to`-th in sorted order.
  void writeRange(Writer& out, std::size_t from, std::size_t to, RunSamples* samples) const;

  ChunkKind kind_;
  std::size_t capacity_;
  bool inPlace_;
  Block mem_;
  // Where the records' offsets count from: the block's start, or in place the first record.
  const unsigned char* text_ = nullptr;
  SortEntry* end_;
  std::size_t keyBytes_;
  std::size_t used_ = 0;  // record bytes at the start
  std::size_t count_ = 0;
  std::size_t recordBytes_ = 0;
};

}  // namespace dbc::dbcsort
