// The comparison of two checksum lists, both in ascending position order, into a change list.
#pragma once

#include <cstdint>

#include "audit/output.hpp"
#include "audit/plainline.hpp"
#include "audit/reader.hpp"

namespace dbc::audit {

class Joiner {
 public:
  Joiner(LineReader& tagfile1, LineReader& tagfile2, Output& out)
      : tagfile1_(tagfile1), tagfile2_(tagfile2), out_(out) {}

  // The whole merge: reads both lists to their ends and writes the change lines.
  void run();

  void getlin1();
  void getlin2();

  // Checksums are only compared, so they are kept as their text.
  std::int64_t recpos1 = 0, recpos2 = 0;
  ChecksumText chksum1, chksum2;
  bool eof1 = false, eof2 = false;  // the list is exhausted

 private:
  // The next line of `list` into its position and checksum, or the list marked exhausted.
  static void getlin(LineReader& list, bool& eof, std::int64_t& recpos, ChecksumText& chksum);
  // Past the lines alike in both lists, where both hold the same position and checksum.
  void skipAlike();

  LineReader& tagfile1_;
  LineReader& tagfile2_;
  Output& out_;
};

}  // namespace dbc::audit
