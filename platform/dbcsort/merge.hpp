// Merging sorted runs, from the run file or still in memory, into one sorted stream. Ties go to
// the earlier source, which holds the earlier input, so a merge keeps the order of equal keys.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/io.hpp"
#include "platform/dbcsort/chunk.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/records.hpp"

namespace dbc::dbcsort {

// A file for sorted runs. It has no name beyond the moment of its creation, so that it
// disappears with the process however the process ends.
class RunFile {
 public:
  explicit RunFile(const std::string& dir);
  int fd() const { return fd_.get(); }
  const std::string& name() const { return name_; }

 private:
  Fd fd_;
  std::string name_;
};

// A sorted run: a stretch of the run file.
struct Run {
  off_t start;
  off_t end;
  off_t size() const { return end - start; }
};

// One sorted source of a merge: its current record, that record's key, and the key's first
// sixteen bytes as two numbers (keyHead()), which settle most comparisons alone.
class MergeSource {
 public:
  virtual ~MergeSource() = default;
  // Moves to the next record; false at the end.
  virtual bool next() = 0;
  // The current record's whole key; its heads alone settle most comparisons.
  virtual const unsigned char* key() const { return key_; }
  std::string_view record;
  std::uint64_t head = 0, head2 = 0;

 protected:
  void setHeads(std::size_t keyBytes) {
    head = keyHead(key_, keyBytes, 0);
    head2 = keyHead(key_, keyBytes, 8);
  }
  const unsigned char* key_ = nullptr;
};

// A run read back from the run file, each key made again as its record comes.
class RunSource : public MergeSource {
 public:
  RunSource(int fd, const Run& run, const ChunkKind& kind, std::size_t buffer,
            const std::string& name);
  bool next() override;
  const unsigned char* key() const override;

 private:
  RecordReader reader_;
  ChunkKind kind_;
  mutable std::vector<unsigned char> keyBuf_;
  // A compressed record's key is decoded only as far as its heads until more is asked for.
  mutable bool whole_ = false;
};

// A sorted chunk still in memory.
class ChunkSource : public MergeSource {
 public:
  ChunkSource(const Chunk& chunk, std::size_t keyBytes) : chunk_(chunk), keyBuf_(keyBytes) {}
  bool next() override;

 private:
  const Chunk& chunk_;
  std::size_t i_ = 0;
  std::vector<unsigned char> keyBuf_;
};

class RunSamples;

// Writes the records of `sources` (in input order) to `out` in order of their keys, each key
// `keyBytes` long, ties to the earlier source; `samples`, when given, sees every record written.
void merge(const std::vector<std::unique_ptr<MergeSource>>& sources, std::size_t keyBytes,
           Form form, Writer& out, RunSamples* samples = nullptr);

}  // namespace dbc::dbcsort
