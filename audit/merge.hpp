// The comparison of two checksum lists, both in ascending position order, into a change list.
#pragma once

#include <cstdint>

#include "audit/output.hpp"
#include "audit/reader.hpp"

namespace audit {

class Joiner {
 public:
  Joiner(LineReader& tagfile1, LineReader& tagfile2, Output& out)
      : tagfile1_(tagfile1), tagfile2_(tagfile2), out_(out) {}

  // The whole merge: reads both lists to their ends and writes the change lines.
  void run();

  void getlin1();
  void getlin2();

  std::int64_t recpos1 = 0, chksum1 = 0;
  std::int64_t recpos2 = 0, chksum2 = 0;
  int eof1 = 0, eof2 = 0;

 private:
  LineReader& tagfile1_;
  LineReader& tagfile2_;
  Output& out_;
};

}  // namespace audit
