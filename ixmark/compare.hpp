// Sorting the tags by record position with DBCSORT, and reading the sorted file back; the walk
// comparing it with the data file is in merge.hpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/io.hpp"
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

 private:
  // Keeps the bytes not yet decoded and reads more after them, making room when a record is
  // longer than the buffer; false when the file has no more.
  bool refill();
  // Where the record starting at `from` ends (its terminator, or 0xFB), or -1 when the bytes
  // held end first.
  long findEnd(std::size_t from) const;
  void decode(const unsigned char* p, const unsigned char* e, std::string& buffer1) const;

  Fd srtf_;
  bool ichflg_;
  std::FILE* out_;
  std::string srtflnm_;
  std::vector<unsigned char> buf_;
  std::size_t pos_ = 0;  // first byte not yet decoded
  std::size_t len_ = 0;  // bytes held
  bool eof_ = false;     // the file has no more bytes
  bool ended_ = false;   // 0xFB met or every byte decoded
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
