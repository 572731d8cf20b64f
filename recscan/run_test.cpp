#include "recscan/run.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "common/io.hpp"
#include "recscan/options.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace recscan {
namespace {

TEST(Options, SwitchesAndTheFileName) {
  Settings s = parseArgs({"-f2", "A", "-F5", "-?", "-x", "B", "-b", "-C", "-d", "-S", "-V"});
  EXPECT_EQ(s.fixflg, 5);
  EXPECT_EQ(s.filnam, "B");
  EXPECT_EQ(s.filflg, 1);
  EXPECT_EQ(s.hlpflg, 0);
  EXPECT_EQ(s.bytflg + s.cmpflg + s.dbgflg + s.sumflg + s.verflg, 5);
  EXPECT_EQ(parseArgs({}).hlpflg, 1);
  EXPECT_EQ(parseArgs({"-H", "X"}).hlpflg, 1);
  EXPECT_EQ(parseArgs({"-f6", "-f", "-f12", "X"}).fixflg, 0);
  EXPECT_EQ(parseArgs({"-?"}).filflg, 0);
}

TEST(Run, FailedWriteBackIsReportedAndTheScanGoesOn) {
  testkit::TempDir dir;
  std::string data = testkit::DataFile().record(std::string("A\0B", 3)).eof();
  data += std::string(70000, 'x');  // a second block that must be written back too
  data += testkit::DataFile().record("CD").eof().bytes();
  testkit::writeFile(dir.file("D.TXT"), data);
  // Read only: every write-back fails.
  dbc::Fd fd = dbc::openFile(dir.file("D.TXT"), O_RDONLY);
  ScanSettings set;
  set.fixflg = 2;
  set.cmpflg1 = 0;
  Scanner scan(set);
  testing::internal::CaptureStdout();
  ReadFailure failure;
  bool ok = scanBlocks(fd.get(), scan, 1, static_cast<std::int64_t>(data.size()), false, "./D.TXT",
                       failure);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error writing ./D.TXT at offset 0\nError writing ./D.TXT at offset 65536\n");
  EXPECT_FALSE(ok);
  EXPECT_FALSE(failure.failed());
  EXPECT_EQ(scan.reccnt, 2);
  EXPECT_EQ(scan.filsiz, static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(testkit::readFile(dir.file("D.TXT")), data);
}

// A file that cannot be read is neither an empty text file nor one that ends where reading failed.
TEST(Run, FailedReadIsNoEndOfTheFile) {
  testkit::TempDir dir;
  dbc::Fd fd = dbc::openFile(dir.path(), O_RDONLY);
  ReadFailure failure;
  EXPECT_EQ(fileType(fd.get(), 0, failure), 0);
  EXPECT_EQ(failure.offset, 0);
  EXPECT_EQ(failure.error, EISDIR);

  ScanSettings set;
  Scanner scan(set);
  failure = ReadFailure{};
  testing::internal::CaptureStdout();
  EXPECT_TRUE(scanBlocks(fd.get(), scan, 2, 0, false, "./D.TXT", failure));
  printReadFailure("./D.TXT", failure);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error reading ./D.TXT at offset 0: Is a directory\n");
}

}  // namespace
}  // namespace recscan
