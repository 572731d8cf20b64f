// Reading a DB/C ISAM index without the runtime: the header block, its key segments and an
// in-order walk over the tree of U and V blocks that hands every entry over in key order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace dbc::ixmark {

inline constexpr int kMaxSegments = 15;
inline constexpr int kKeySegments = 10;  // segments that take part in a data record's key
inline constexpr int kMaxKeySize = 163;
inline constexpr int kBlockMax = 16384;
inline constexpr int kHeaderSize = 1024;
inline constexpr int kStackMax = 1000;

struct IndexHeader {
  std::uint64_t toplnk = 0;
  int blksiz = 0;
  int recsiz = 0;
  std::string txtnam;  // data file name, handed to opnfil as it stands
  std::string ndxpos;  // the key segment list
  int strpos[kMaxSegments] = {};
  int endpos[kMaxSegments] = {};
  int lenpos[kMaxSegments] = {};
  int keysiz = 0;
};

// The 6-byte big-endian link at `p`.
std::uint64_t getlnk(const unsigned char* p);

// Reads the header out of its first 1024 bytes (`hdr`, zero-filled when the file is shorter).
// Prints the messages of a failed read on `out` and throws Stop{1}; in verbose mode prints the
// block and record sizes as they are read. `orgnam` is the name from the command line.
IndexHeader readHeader(const unsigned char* hdr, const std::string& orgnam, bool verbose,
                       std::FILE* out);

// Splits a segment list into the three arrays and sums keysiz; false when the list holds more
// segments than the arrays do.
bool parseSegments(std::string_view list, IndexHeader& h);

struct IndexEntry {
  const char* keyval;  // keysiz bytes
  std::uint64_t txtpos;
  std::uint64_t filpos1;
  int bufpos;
};

// Walks the tree from toplnk. A read of no bytes (a link past the end of the file) ends the walk
// quietly, a block of an unknown type is passed over; a failed read, and damage that would loop
// or overrun (a cycle, a tree deeper than the stack, an entry past the block), are reported and
// stop the run with status 1, reported on `out`. `isiflnm` is the path the index was opened under.
class IsamWalk {
 public:
  IsamWalk(int isif, const IndexHeader& h, std::string orgnam, std::FILE* out,
           std::string isiflnm = {});
  using EntryVisitor = std::function<void(const IndexEntry&)>;
  void walk(const EntryVisitor& wrttag1, bool ichflg);

 private:
  // A U block from `bufpos` on: its entries until one has a child, which is then descended into.
  void walkU(std::uint64_t filpos1, int bufpos, const EntryVisitor& wrttag1);
  // A V block, a leaf: every entry, each key sharing a count of leading bytes with the one before.
  void walkV(std::uint64_t filpos1, int bufpos, const EntryVisitor& wrttag1, bool ichflg);
  // Pushes `child`, read from the block at `from`, unless the links have gone round.
  void descend(std::uint64_t child, std::uint64_t from);
  void putstk(std::uint64_t pos, int off);
  [[noreturn]] void damaged(const char* what, std::uint64_t pos);
  bool readBlock(std::uint64_t pos);

  int isif_;
  const IndexHeader& h_;
  std::string orgnam_;
  std::string isiflnm_;
  std::FILE* out_;
  std::uint64_t fileSize_ = 0;
  // The block in hand, and the one read before it: after its child the walk comes back to a
  // U block, which is then still here instead of being read again.
  unsigned char blocks_[2][kBlockMax];
  unsigned char* buffer1_ = blocks_[0];
  std::uint64_t curPos_ = 0;    // where buffer1_ came from; 0 for none
  std::uint64_t otherPos_ = 0;  // where the other block came from; 0 for none
  std::uint64_t stack1_[kStackMax];
  int stack2_[kStackMax];
  int stkptr_ = -1;
  std::uint64_t descents_ = 0;
  std::uint64_t maxDescents_ = 0;
};

}  // namespace dbc::ixmark
