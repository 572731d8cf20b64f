#include "audit/merge.hpp"

#include <string_view>

#include "audit/lists.hpp"

namespace dbc::audit {

void Joiner::getlin(LineReader& list, bool& eof, std::int64_t& recpos, ChecksumText& chksum) {
  if (eof) return;
  const char* p;
  std::size_t available, used;
  if (!list.peek(p, available)) {
    eof = true;
    return;
  }
  if (available >= kPlainLineRoom && scanPlainLine(p, recpos, chksum, used)) {
    list.skip(used);
    return;
  }
  std::string_view line;
  list.next(line);
  // A line that does not parse keeps the values of the line before it.
  std::int64_t value = 0;
  if (scanChecksumLine(line, recpos, value) == 2) chksum = checksumText(value);
}

void Joiner::skipAlike() {
  const char *p1, *p2;
  std::size_t available1, available2;
  if (!tagfile1_.peek(p1, available1) || !tagfile2_.peek(p2, available2)) return;
  std::size_t lines, last;
  const std::size_t used =
      alikeLines(p1, p2, available1 < available2 ? available1 : available2, lines, last);
  if (lines == 0) return;
  // Both lists end the run in the same state, the one the run's last line leaves; a last line
  // that is not plain may keep values from before it, so the run is then read line by line.
  std::size_t lastUsed;
  if (scanPlainLine(p1 + last, recpos1, chksum1, lastUsed)) {
    tagfile1_.skip(used);
  } else {
    for (std::size_t i = 0; i < lines; ++i) getlin1();
  }
  tagfile2_.skip(used);
  recpos2 = recpos1;
  chksum2 = chksum1;
}

void Joiner::getlin1() { getlin(tagfile1_, eof1, recpos1, chksum1); }

void Joiner::getlin2() { getlin(tagfile2_, eof2, recpos2, chksum2); }

void Joiner::run() {
  getlin1();
  getlin2();
  for (;;) {
    if (eof1 && eof2) return;
    if (eof2 || (!eof1 && recpos1 < recpos2)) {
      writeChangeLine(out_, kRemoved, recpos1);
      getlin1();
    } else if (eof1 || recpos1 > recpos2) {
      writeChangeLine(out_, kAdded, recpos2);
      getlin2();
    } else {
      if (chksum1 != chksum2) {
        writeChangeLine(out_, kChanged, recpos1);
        writeChangeLine(out_, kChangedNew, recpos1);
      } else {
        skipAlike();
      }
      getlin1();
      getlin2();
    }
  }
}

}  // namespace dbc::audit
