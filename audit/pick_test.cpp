#include "audit/pick.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>

#include "common/io.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace dbc::audit {
namespace {

std::string pick(const std::string& changes, const std::string& data, std::int64_t recsiz) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("changes"), changes);
  testkit::writeFile(dir.file("data"), data);
  dbc::Fd fc = dbc::openFile(dir.file("changes"), O_RDONLY);
  dbc::Fd fd = dbc::openFile(dir.file("data"), O_RDONLY);
  const Failure failure{"test", stdout, stderr};
  LineReader list(fc.get(), "changes", failure);
  BlockReader file(fd.get(), "data", failure);
  Output out;
  Picker(list, file, recsiz, out).run();
  return out.text();
}

TEST(PickTest, OneRecordPerChangeLine) {
  EXPECT_EQ(pick("", "", 5), "\xFB");
  EXPECT_EQ(pick("120\n", "", 5), "120|\xFA\xFB");
  EXPECT_EQ(pick("40\n",
                 "AB\xFF"
                 "C\xFA\xFB",
                 5),
            "40|ABC\xFA\xFB");
  std::string data = testkit::DataFile().record("one").record("two").record("six").eof();
  EXPECT_EQ(pick("24\n34\n48\n112\n", data, 4),
            "24|\xFA"
            "34|two\xFA"
            "48|six\xFA"
            "112|\xFA\xFB");
  // No record length: the change lines alone, each a record.
  EXPECT_EQ(pick("34\n", data, 0), "34|\xFA\xFB");
  // The last line may lack its line feed.
  EXPECT_EQ(pick("48", data, 4), "48|six\xFA\xFB");
}

TEST(PickTest, TheCopyIsBoundedByTheRecordLength) {
  std::string data = testkit::DataFile().record("abcdef").eof();
  // Five bytes examined, no mark among them: the record is ended all the same, so the next
  // change line does not run into it.
  EXPECT_EQ(pick("40\n41\n", data, 5),
            "40|abcde\xFA"
            "41|bcdef\xFA\xFB");
  // The end-of-file mark ends the copy too, but only the stream's own mark ends the stream, so a
  // record after it is still read; deleted space is examined but not copied.
  EXPECT_EQ(pick("46\n", data, 20), "46|\xFA\xFB");
  EXPECT_EQ(pick("47\n40\n", data, 20),
            "47|\xFA"
            "40|abcdef\xFA\xFB");
  EXPECT_EQ(pick("40\n",
                 "\xFF\xFF\xFF"
                 "ab\xFA",
                 5),
            "40|ab\xFA\xFB");
}

TEST(PickTest, OnlyBytesActuallyReadAreCopied) {
  // A long record read first must leave nothing behind for a later, shorter read.
  std::string data = testkit::DataFile().record("0123456789").raw("xy").bytes();
  EXPECT_EQ(pick("40\n411\n499\n4-3\n", data, 20),
            "40|0123456789\xFA"
            "411|xy\xFA"
            "499|\xFA"
            "4-3|\xFA"
            "\xFB");
}

TEST(PickTest, RecordsLongerThanTheBlockAreCopiedWhole) {
  std::string big(40000, 'r');
  big[20000] = '\xFF';
  std::string data = testkit::DataFile().record("a").record(big).eof();
  std::string want = big;
  want.erase(20000, 1);
  std::string got = pick("32\n", data, 40001);
  EXPECT_EQ(got.size(), want.size() + 5);
  EXPECT_TRUE(got == "32|" + want + "\xFA\xFB");
  // One byte short of the mark: the record's data, ended by a mark of its own.
  EXPECT_TRUE(pick("32\n", data, 40000) == "32|" + want + "\xFA\xFB");
}

TEST(PickTest, StrayLinesReadThePreviousPosition) {
  // A blank line is of no known kind: it shows the data at the last position read.
  std::string data = testkit::DataFile().record("one").record("two").eof();
  EXPECT_EQ(pick("34\n\n", data, 4), "34|two\xFA|two\xFA\xFB");
  EXPECT_EQ(pick(std::string(90, '4') + "\n", data, 4).substr(0, 80), std::string(79, '4') + "|");
}

}  // namespace
}  // namespace dbc::audit
