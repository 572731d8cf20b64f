// Builds DB/C ISAM index files (.ISI) for tests and benchmarks: the 1024-byte header with the data
// file name and key segments, U inner blocks and V leaf blocks of a given block size, and trees of
// any depth from sorted entries. Blocks can also be laid out one by one, or raw, to damage an index
// on purpose.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace testkit {

struct IsamHeader {
  std::string dataName;     // stored from offset 101, ended by 0xFA
  std::string segments;     // "1-10 15" style; empty with noSegments gives no list at all
  int blksiz = 1024;        // written as 5 digits at offset 41 (any value, for damage)
  int recsiz = 0;           // 5 digits at offset 64
  char type = 'I';          // byte 0
  bool noSegments = false;  // no 0xFA after the name: an index without a segment list
};

// The sum of the segment lengths the way the reader counts them (start or start-end tokens).
int isamKeySize(std::string_view segments);

// A 6-byte big-endian link.
std::string link6(std::uint64_t v);

struct IsamEntry {
  std::string key;    // padded with spaces to the key size
  std::uint64_t pos;  // record position in the data file
};

struct UEntry {
  std::string key;
  std::uint64_t pos;
  std::uint64_t child;  // 0: none
};

// The bytes of one block, padded with zero bytes to the block size (or longer when the entries
// do not fit: the caller then gets a block whose entries run past its end).
std::string uBlockBytes(std::uint64_t leftmost, const std::vector<UEntry>& entries, int keysiz,
                        int blksiz, bool endMark = true);
// Front-compressed against the previous key of the block (count bytes up to 255).
std::string vBlockBytes(const std::vector<IsamEntry>& entries, int keysiz, int blksiz,
                        bool endMark = true);

// An index held in memory. The header takes the first 1024 bytes; blocks follow one after another
// at 1024 + n * blksiz.
class IsamFile {
 public:
  explicit IsamFile(IsamHeader header);

  int keysiz() const { return keysiz_; }
  int blksiz() const { return header_.blksiz; }
  // Where the next block will go.
  std::uint64_t nextPos() const { return bytes_.size(); }

  std::uint64_t uBlock(std::uint64_t leftmost, const std::vector<UEntry>& entries);
  std::uint64_t vBlock(const std::vector<IsamEntry>& entries);
  // Any bytes as a block (padded to the block size when shorter).
  std::uint64_t rawBlock(std::string_view bytes);
  void setRoot(std::uint64_t pos);
  // Overwrites bytes at `offset` (damage, links changed after the fact).
  void patch(std::uint64_t offset, std::string_view bytes);

  // Builds a whole tree from `sorted` entries and makes it the root: leaves hold at most
  // `leafMax` entries and inner blocks `innerMax` (0: as many as fit the block).
  void tree(const std::vector<IsamEntry>& sorted, int leafMax = 0, int innerMax = 0);

  const std::string& bytes() const { return bytes_; }

 private:
  IsamHeader header_;
  int keysiz_;
  std::string bytes_;
};

// Writes a tree from entries handed over in key order, keeping one open block per level only, so
// an index of any size can be written with memory that does not grow with it. Used by IsamFile
// and by the benchmark's generator.
class IsamTreeWriter {
 public:
  // Blocks are appended to `sink` (in memory) or written to `file` at their positions.
  IsamTreeWriter(int keysiz, int blksiz, std::uint64_t firstPos, int leafMax, int innerMax,
                 std::string* sink, std::FILE* file = nullptr);
  void add(const IsamEntry& e);
  // Writes what is still open; returns the root position (0 when there were no entries).
  std::uint64_t finish();

 private:
  struct Level {
    std::uint64_t leftmost = 0;
    std::vector<UEntry> entries;
    std::size_t bytes = 7;
  };
  bool leafFits() const;
  std::uint64_t writeBlock(const std::string& block);
  std::uint64_t closeLeaf();
  void insertUp(std::size_t level, const IsamEntry& e, std::uint64_t left);

  int keysiz_, blksiz_, leafMax_, innerMax_;
  std::uint64_t next_;
  std::string* sink_;
  std::FILE* file_;
  std::vector<IsamEntry> leaf_;
  std::size_t leafBytes_ = 1;
  std::vector<Level> levels_;  // levels_[0] is the level just above the leaves
};

// The 1024-byte header block.
std::string isamHeaderBytes(const IsamHeader& h, std::uint64_t root);

}  // namespace testkit
