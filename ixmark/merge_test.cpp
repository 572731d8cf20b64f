#include "ixmark/merge.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/io.hpp"
#include "testkit/capture.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace dbc::ixmark {
namespace {

struct Merged {
  std::string err, dbg;
  long errcnt;
};

// The comparison of `tags` (whole tag texts, in order) with a DB/C file of `records`, keyed by
// their first 3 characters.
Merged mergeTags(const std::vector<std::string>& tags, const std::vector<std::string>& records) {
  testkit::TempDir dir;
  testkit::DataFile d;
  for (const auto& r : records) d.record(r);
  d.eof();
  testkit::writeFile(dir.file("d"), d.bytes());
  Fd fd = openFile(dir.file("d"), O_RDONLY);
  IndexHeader h;
  parseSegments("1-3", h);
  testkit::Capture said, err, dbg;
  RecordReader rec(fd.get(), d.bytes().size() - 1, 0xFB, h, false, Collate(), false, said.file());
  std::size_t next = 0;
  auto next1 = [&](std::string& b) {
    if (next == tags.size()) return -1;
    b = tags[next++];
    return static_cast<int>(b.size());
  };
  MergeResult r = merge(next1, rec, h.keysiz, 1u << 30, err.file(), dbg.file(), said.file());
  return {err.text(), dbg.text(), r.errcnt};
}

std::string tag(const char* position, const char* key) {
  return std::string("           1          37") + position + key;
}

// A tag matches its record only when its position columns read as the record's "%12lld" does:
// the same number written with a leading zero, a plus sign or a tab, or wider than its columns,
// is a disagreement, reported with both keys as the plain string comparison gives them.
TEST(Merge, PositionsMatchOnlyAsWritten) {
  // The records start at 0 and 5 ("ABC" and "XYZ" and their marks).
  const std::vector<std::string> records = {"ABC1", "XYZ2"};
  Merged m = mergeTags({tag("           0", "ABC"), tag("           5", "XYZ")}, records);
  EXPECT_EQ(m.errcnt, 0) << m.err;
  for (const char* pos : {"          05", "          +5", "\t          5", "0000000000005"}) {
    SCOPED_TRACE(pos);
    m = mergeTags({tag("           0", "ABC"), tag(pos, "XYZ")}, records);
    EXPECT_EQ(m.errcnt, 2) << m.err;
    EXPECT_NE(m.err.find("T           5XYZ\n"), std::string::npos) << m.err;
  }
  // The same position with another key: both sides, the debug lines in the same-position form.
  m = mergeTags({tag("           0", "ABC"), tag("           5", "XYW")}, records);
  EXPECT_EQ(m.err, "I" + tag("           5", "XYW") + "\nT           5XYZ\n");
  EXPECT_EQ(m.dbg,
            "I--2--           5XYW--           5XYZ--\nT--2--           5XYW--           5XYZ--\n");
}

}  // namespace
}  // namespace dbc::ixmark
