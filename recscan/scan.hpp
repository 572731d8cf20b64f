// The byte-by-byte examination of a data file, one block at a time: record counts and sizes,
// deleted space, damage, the data checksum, the compressed-size estimate, and the repairs of the
// fix modes. Everything the scan carries from one block to the next lives here, so a record, a
// space run or a digit pair may span blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "recscan/options.hpp"
#include "recscan/words.hpp"

namespace dbc::recscan {

// The kinds of data file, by their last byte and line ends; the numbers are the summary line's.
// A DB/C type file gets processBuffer, the other two processBuffer2.
enum class FileType : int { kDbc = 1, kText = 2, kCrlf = 3 };

// Whether the data showed compression that no definition explains; the numbers are the summary
// line's.
enum class CompressionSeen : int { kNo = -1, kYes = 1 };

// How much of the file lies behind the current byte: whether `prvchr` holds a byte yet.
enum class Previous : unsigned char {
  kNone,   // before the first byte
  kFirst,  // at the first byte: nothing before it
  kByte,   // from the second byte on, `prvchr` is the byte before
};

// The compressed-size estimate's state between bytes.
enum class Pending : unsigned char {
  kIdle,
  kSpaces,  // inside a run of spaces, `spccnt2` long
  kDigit,   // one digit or point waits for a second to make a pair
};

class Scanner {
 public:
  // The scan reads the settings as they stand (the fix mode, -d, -c, the switch, the definition);
  // they must outlive it. Bad bytes are printed on `debugOut` under -d.
  explicit Scanner(const Settings& settings, std::FILE* debugOut = stdout)
      : set_(settings), dbgout_(debugOut) {}
  Scanner(const Settings&&, std::FILE* = stdout) = delete;

  // DB/C type block read at file offset `curpos`. Bad bytes are repaired in `buffer` under the
  // fix mode; the result says whether the whole block must now be written back where it was read.
  bool processBuffer(unsigned char* buffer, std::size_t bytes, std::int64_t curpos);
  // The same for text and CRLF type files.
  bool processBuffer2(unsigned char* buffer, std::size_t bytes, std::int64_t curpos);

  // The skip over runs of ordinary bytes gives the same results as taking every byte on its
  // own; switching it off leaves only the per-byte rules (the tests compare the two).
  void setFastPath(bool on) { fast_ = on; }
  // The engine of the fast path (the tests try each one this processor runs).
  void setEngine(Engine engine) { engine_ = engine; }

  const Settings& settings() const { return set_; }

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
  bool offset = false;  // a record ended off its fixed-length position
  bool spcflg = false;  // right after a space-run marker: the next data byte is its count
  CompressionSeen cmpflg2 = CompressionSeen::kNo;
  // A byte needed repair. Never cleared: from then on every block is written back, changed or
  // not, as the repair has always done.
  bool chgflg = false;
  // Text files: a carriage return directly followed by a line feed inside one block, as read
  // (what makes a text file a CRLF type file).
  bool crlf = false;

  // Previous-byte tracking: the bytes as read, before any repair.
  Previous prvflg = Previous::kNone;
  int prvchr = 0;
  int curchr = 0;
  std::int64_t curpos2 = 0;

  // The compressed-size estimate.
  std::int64_t filsiz2 = 0;
  Pending spcflg2 = Pending::kIdle;
  std::uint8_t spccnt2 = 0;
  int prvchr2 = 0;

 private:
  void track(unsigned char b, std::int64_t pos);
  void estimate(unsigned char b);
  void estimateBlock(const unsigned char* buffer, std::size_t bytes);
  void lastSpaceRun(const unsigned char* buffer, std::size_t bytes, unsigned carried);
  template <bool kText>
  std::size_t plainRecords(const unsigned char* buffer, std::size_t i, std::size_t bytes,
                           std::int64_t curpos);
  void endRecord();
  void debug(unsigned char b);
  void controlByte(unsigned char* p);
  void swallowMark(unsigned char* p);
  void deletedByte(unsigned char* p);
  void highDamage(unsigned char* p);
  void dbcDataByte(unsigned char* p);
  void dbcByte(unsigned char* p);
  void textByte(unsigned char* p);
  template <bool kText>
  std::size_t ordinaryRun(const unsigned char* buffer, std::size_t i, std::size_t bytes,
                          std::int64_t curpos);

  const Settings& set_;
  std::FILE* dbgout_;
  bool fast_ = true;
  Engine engine_ = bestEngine();
  std::int64_t gridEnd_ = -1;  // see RecordRun
};

}  // namespace dbc::recscan
