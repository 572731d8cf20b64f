// The byte-by-byte examination of a data file, one block at a time: record counts and sizes,
// deleted space, damage, the data checksum, the compressed-size estimate, and the repairs of the
// fix modes. Everything the scan carries from one block to the next lives here, so a record, a
// space run or a digit pair may span blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace recscan {

// What the command line and the file's mirroring definition tell the scan.
struct ScanSettings {
  int fixflg = 0;       // fix mode 0 (no change) to 5
  bool dbgflg = false;  // print every bad byte
  bool cmpflg = false;  // estimate the compressed size
  bool ichflg = false;  // 0x80..0xF8 are characters of their own
  int cmpflg1 = -1;     // compression by the definition: 1 yes, 0 no, -1 undetermined
  int dmflen = 0;       // record length by the definition, 0 when none
};

class Scanner {
 public:
  explicit Scanner(const ScanSettings& settings, std::FILE* debugOut = stdout)
      : set_(settings), dbgout_(debugOut) {}

  // DB/C type block read at file offset `curpos`. Bad bytes are repaired in `buffer` under the
  // fix mode; the result says whether the whole block must now be written back where it was read.
  bool processBuffer(unsigned char* buffer, std::size_t bytes, std::int64_t curpos);
  // The same for text and CRLF type files.
  bool processBuffer2(unsigned char* buffer, std::size_t bytes, std::int64_t curpos);

  // The skip over runs of ordinary bytes gives the same results as taking every byte on its
  // own; switching it off leaves only the per-byte rules (the tests compare the two).
  void setFastPath(bool on) { fast_ = on; }

  const ScanSettings& settings() const { return set_; }

  // The counters, reported at the end. Sizes are 64-bit: a record of space runs may stand for
  // more characters than an int holds.
  std::int64_t filsiz = 0;    // bytes examined
  std::int64_t reccnt = 0;    // record marks (lines in text files)
  std::int64_t recsiz = 0;    // characters of the record in progress
  std::int64_t recpos = 0;    // data bytes of the record in progress
  std::int64_t minsiz = -1;   // smallest non-empty record
  std::int64_t maxsiz = -1;   // largest non-empty record
  std::int64_t fstsiz = -1;   // first non-empty record
  std::int64_t recsiz2 = -1;  // size of the first line (text files)
  std::int64_t delsiz = 0;    // deleted space
  std::int64_t eofcnt = 0;    // end-of-file marks
  std::int64_t errcnt = 0;    // damaged bytes of every kind
  std::int64_t errcnt2 = 0;   // damage other than control characters
  std::int64_t ichcnt = 0;    // 0x80..0xF8 taken as characters by the switch
  std::uint16_t chksum = 0;
  int offset = 0;    // 1 once a record ended off its fixed-length position
  int spcflg = 0;    // 1 right after a space-run marker
  int cmpflg2 = -1;  // 1 once the data showed compression
  int chgflg = 0;    // 1 once a byte needed repair; from then on every block is written back

  // Previous-byte tracking: the bytes as read, before any repair.
  int prvflg = 0;
  int prvchr = 0;
  int curchr = 0;
  std::int64_t curpos2 = 0;

  // The compressed-size estimate: 0 idle, 1 in a run of spaces, 2 one digit pending.
  std::int64_t filsiz2 = 0;
  int spcflg2 = 0;
  std::uint8_t spccnt2 = 0;
  int prvchr2 = 0;

 private:
  void track(unsigned char b, std::int64_t pos);
  void estimate(unsigned char b);
  void estimateBlock(const unsigned char* buffer, std::size_t bytes);
  void endRecord();
  void debug(unsigned char b);
  void controlByte(unsigned char* p);
  void dbcByte(unsigned char* p);
  void textByte(unsigned char* p);
  template <bool kText>
  std::size_t ordinaryRun(const unsigned char* buffer, std::size_t i, std::size_t bytes,
                          std::int64_t curpos);

  ScanSettings set_;
  std::FILE* dbgout_;
  bool fast_ = true;
};

}  // namespace recscan
