// Sorting a chunk's records by their keys. The tag keys are fixed-width byte strings, so a
// most-significant-byte-first radix sort beats any comparison sort on them. It works on small
// entries that carry eight bytes of the key as one number, so that a pass over them touches
// 16 bytes a record and never the record itself; only when eight bytes do not tell records
// apart does it fetch the next eight from the keys.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbc::dbcsort {

// One record while it is sorted: eight bytes of its key, the first most significant, from the
// depth its group of records has reached, and where the record lies in its chunk.
struct SortEntry {
  std::uint64_t head;
  std::uint32_t offset;
  std::uint32_t length;
};

// Where the sort finds an entry's whole key, keyBytes long.
class KeySource {
 public:
  explicit KeySource(std::size_t keyBytes) : keyBytes(keyBytes) {}
  virtual ~KeySource() = default;
  // The key of `e`, made in `scratch` (keyBytes long) where it is not kept whole elsewhere.
  virtual const unsigned char* key(const SortEntry& e, unsigned char* scratch) const = 0;
  // keyHead() of that key at `depth`; a source that can tell it without making the whole key
  // says so here.
  virtual std::uint64_t head(const SortEntry& e, std::size_t depth, unsigned char* scratch) const;
  // Whether the key of `e` starts with the `depth` bytes of `prefix`, and if so its head at
  // `depth` in `head`: both from one look at the key.
  virtual bool headAfter(const SortEntry& e, const unsigned char* prefix, std::size_t depth,
                         std::uint64_t& head, unsigned char* scratch) const;
  const std::size_t keyBytes;
};

// Sorts the `n` entries at `entries` into ascending order of their keys (unsigned, byte by
// byte), equal keys in ascending order of offset; their heads need not be set. Up to `threads`
// threads share the work.
void sortEntries(SortEntry* entries, std::size_t n, const KeySource& keys, std::size_t threads = 1);

}  // namespace dbc::dbcsort
