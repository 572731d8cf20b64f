// Reading the data file record by record for the comparison: getchr hands out its bytes,
// getrec decodes one record, checks its size, gathers statistics and builds its key.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "ixmark/collate.hpp"
#include "ixmark/isam.hpp"

namespace dbc::ixmark {

inline constexpr int kRecordBuffer = 20000;  // a decoded record and its ending zero byte

class RecordReader {
 public:
  // `txtflnm` is the path the data file was opened under; damage and progress are reported on
  // `out`.
  RecordReader(int txtf, std::uint64_t eofpos, int eofchr, const IndexHeader& h, bool ichflg,
               const Collate& collate, bool verbose, std::FILE* out, std::string txtflnm = {});

  // The next byte, or -1 at the end of the file; a failed read stops the run.
  int getchr();
  // 0: a record is in buffer2 with its key; -1: the data has ended. Damage ends the run (Stop).
  int getrec();

  std::string buffer2;
  std::string keyval;
  std::uint64_t txtpos = 0;
  long reccnt2 = 0;
  int comprs = 0;
  int minsiz = 99999;
  int maxsiz = 0;

 private:
  void append(char c);

  int txtf_;
  std::string txtflnm_;
  std::uint64_t eofpos_;
  bool textType_;
  const IndexHeader& h_;
  bool ichflg_;
  const Collate& collate_;
  bool verbose_;
  std::FILE* out_;
  unsigned char txtbuf_[16384];
  int txtcnt_ = 0;
  int txtptr_ = 0;
  std::uint64_t txtpos2_ = 0;
  bool ended_ = false;  // the bytes ran out; the next call reports the end
};

}  // namespace dbc::ixmark
