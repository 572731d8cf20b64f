// Reading the data file record by record for the comparison: getchr hands out its bytes,
// getrec decodes one record, checks its size, gathers statistics and builds its key.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/codec.hpp"
#include "common/refill.hpp"
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
  int getchr() {
    if (in_.pos() == in_.len() && refill() < 0) return -1;
    ++txtpos2_;
    unsigned char c = in_.data()[in_.pos()];
    in_.take(1);
    return c;
  }
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
  RefillReader in_;
  std::string txtflnm_;
  std::uint64_t eofpos_;
  bool textType_;
  const IndexHeader& h_;
  DecodeTable table_;
  bool plainFast_;  // no collating sequence: plain characters stand for themselves
  bool verbose_;
  std::FILE* out_;
  std::uint64_t txtpos2_ = 0;
  bool ended_ = false;  // the bytes ran out; the next call reports the end

  // Reads the next block once every byte held is taken: -1 at the end of the data.
  int refill();
  // Room in buffer2 for `n` more characters; a record longer than its buffer ends the run.
  void makeRoom(std::size_t n) const {
    if (buffer2.size() + n >= static_cast<std::size_t>(kRecordBuffer)) tooLong();
  }
  [[noreturn]] void tooLong() const;
  // Decodes one byte of a record (not its end) into buffer2.
  void decode(unsigned char c);
  // The record read: its size checked, counted, its key built.
  int finish();
};

}  // namespace dbc::ixmark
