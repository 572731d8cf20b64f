// Sorting the tags by record position with DBCSORT, and reading the sorted file back; the walk
// comparing it with the data file is in merge.hpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/codec.hpp"
#include "common/framing.hpp"
#include "common/io.hpp"
#include "common/refill.hpp"
#include "ixmark/record.hpp"
#include "ixmark/tag.hpp"
#include "ixmark/variant.hpp"

namespace dbc::ixmark {

struct SortCommand {
  std::string shown;  // as verbose mode prints it
  std::string run;    // the same with the paths quoted for the shell
};
SortCommand sortCommand(const Variant& v, const std::string& tagflnm, const std::string& srtflnm,
                        int keysiz);

// ixmark3's reader of the sorted file: compressed records ended by 0xFA or a newline, the file
// ended by 0xFB (or by its last byte when the mark is missing).
class CompressedSorted {
 public:
  // `bufferSize` is where reading starts; a longer record makes the buffer grow. `srtflnm` is
  // the file's path; a failed read of it stops the run, reported on `out`.
  CompressedSorted(Fd srtf, bool ichflg, std::FILE* out, std::size_t bufferSize = 1 << 16,
                   std::string srtflnm = {});
  // Decodes the next tag into buffer1; its length, or -1 at the end.
  int getsrt(std::string& buffer1);
  // The same appended to `out`: its length, or -1 at the end with `out` as it was.
  int appendsrt(std::string& out);

 private:
  // Where the record starting at the first byte not yet taken ends, reading more as needed;
  // not found: the file has no more, and its bytes end the record.
  RecordEnd frame();

  Fd srtf_;
  RefillReader in_;
  const DecodeTable& table_;
  std::FILE* out_;
  std::string srtflnm_;
  bool ended_ = false;               // 0xFB met or every byte decoded
  std::vector<unsigned char> text_;  // where a record is decoded; grows to the longest met
};

// ixmark's reader: fixed-length lines, a tag of kTagKeyAt + keysiz bytes and
// its newline. A failed read stops the run, reported on `out`.
class TextSorted {
 public:
  TextSorted(std::FILE* srtfile, int getsiz1, std::FILE* out, std::string srtflnm = {})
      : srtfile_(srtfile), getsiz1_(getsiz1), out_(out), srtflnm_(std::move(srtflnm)) {}
  ~TextSorted() { std::fclose(srtfile_); }
  TextSorted(const TextSorted&) = delete;
  TextSorted& operator=(const TextSorted&) = delete;
  int read(std::string& buffer1);

 private:
  std::FILE* srtfile_;
  int getsiz1_;
  std::FILE* out_;
  std::string srtflnm_;
};

}  // namespace dbc::ixmark
