#include "audit/merge.hpp"

#include <string_view>

#include "audit/lists.hpp"

namespace audit {

// A line that does not parse keeps the values of the line before it.
void Joiner::getlin1() {
  if (eof1 != 0) return;
  std::string_view line;
  if (!tagfile1_.next(line)) {
    eof1 = 1;
    return;
  }
  scanChecksumLine(line, recpos1, chksum1);
}

void Joiner::getlin2() {
  if (eof2 != 0) return;
  std::string_view line;
  if (!tagfile2_.next(line)) {
    eof2 = 1;
    return;
  }
  scanChecksumLine(line, recpos2, chksum2);
}

void Joiner::run() {
  getlin1();
  getlin2();
  for (;;) {
    if (eof1 != 0 && eof2 != 0) return;
    if (eof2 != 0 || (eof1 == 0 && recpos1 < recpos2)) {
      writeChangeLine(out_, kRemoved, recpos1);
      getlin1();
    } else if (eof1 != 0 || recpos1 > recpos2) {
      writeChangeLine(out_, kAdded, recpos2);
      getlin2();
    } else {
      if (chksum1 != chksum2) {
        writeChangeLine(out_, kChanged, recpos1);
        writeChangeLine(out_, kChangedNew, recpos1);
      }
      getlin1();
      getlin2();
    }
  }
}

}  // namespace audit
