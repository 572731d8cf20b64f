#include "recscan/run.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "common/io.hpp"
#include "recscan/dmf.hpp"
#include "recscan/options.hpp"
#include "testkit/capture.hpp"
#include "testkit/context.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace dbc::recscan {
namespace {

TEST(Options, SwitchesAndTheFileName) {
  Settings s = parseArgs({"-f2", "A", "-F5", "-?", "-x", "B", "-b", "-C", "-d", "-S", "-V"});
  EXPECT_EQ(s.fixflg, FixMode::kDeletedToSpace);
  EXPECT_EQ(s.filnam, "B");
  EXPECT_TRUE(s.filflg);
  EXPECT_FALSE(s.hlpflg);
  EXPECT_TRUE(s.bytflg && s.cmpflg && s.dbgflg && s.sumflg && s.verflg);
  EXPECT_TRUE(parseArgs({}).hlpflg);
  EXPECT_TRUE(parseArgs({"-H", "X"}).hlpflg);
  EXPECT_EQ(parseArgs({"-f6", "-f", "-f12", "X"}).fixflg, FixMode::kNone);
  EXPECT_FALSE(parseArgs({"-?"}).filflg);
}

// A run in a scratch installation, its definition look-up answered by a fake shell that writes
// the kept text into the scratch file, as grep, head and cut would.
class RecscanRun : public ::testing::Test {
 protected:
  RecscanRun() {
    fake.env["QLON_ROOT"] = dir.path();
    fake.context().pid = ::getpid();  // the scratch file's name must be ours alone
    fake.shell = [this](const std::string& command) {
      if (command.rfind("grep ", 0) == 0) testkit::writeFile(tmpfil, kept);
      if (command.rfind("rm ", 0) == 0) ::unlink(tmpfil.c_str());
      return 0;
    };
  }

  testkit::TempDir dir;
  testkit::FakeContext fake;
  const std::string tmpfil = "/tmp/" + std::to_string(::getpid()) + ".pid";
  std::string kept;
};

TEST_F(RecscanRun, ReportUsesTheDefinitionTheClockAndTheContextsStreams) {
  testkit::writeFile(dir.file("CUST01.TXT"), testkit::DataFile().record("ABCD1234").eof().bytes());
  kept = "MIR 00008N\n";
  std::clock_t ticks[] = {0, 90 * CLOCKS_PER_SEC};
  int calls = 0;
  fake.context().clock = [&] { return ticks[calls++]; };
  EXPECT_EQ(run({"-c", dir.file("CUST01")}, fake.context()), 0);
  EXPECT_EQ(fake.out.text(),
            "Recscan utility May 31, 2021\n" + dir.file("CUST01.TXT") +
                "\n"
                "DBC type file\n"
                "Compression is NOT configured.\n"
                "records=1, max size=8, min size=8, compressed=No, deleted=No\n"
                "     filsiz=10, eofcnt=1, delsiz= (0.00%)\n"
                "     errcnt=0.0, ichcnt=0 offset=0 dmflen=8 dmfcmp=No runtim=1.5 min\n"
                "\n"
                "     Uncompressed filesize = 10  (10)\n"
                "       Compressed filesize = 8  (8)\n"
                "       Compression savings = 2  (2) 20.00%\n");
  EXPECT_EQ(fake.err.text(), "");
  ASSERT_EQ(fake.commands.size(), 2u);
  EXPECT_EQ(fake.commands[0], dmfCommand("CUST", dir.file("dmf"), "PD", tmpfil));
  EXPECT_EQ(fake.commands[1], "rm " + tmpfil);
  EXPECT_FALSE(testkit::exists(tmpfil));
}

// Under -s the progress option still returns to the start of the line, before the summary.
TEST_F(RecscanRun, SummaryFollowsTheCarriageReturnOfProgress) {
  testkit::writeFile(dir.file("CUST.TXT"), testkit::DataFile().record("ABCD1234").eof().bytes());
  kept = "MIR 00008Y\n";
  EXPECT_EQ(run({"-s", "-v", dir.file("CUST")}, fake.context()), 0);
  EXPECT_EQ(fake.out.text(), "\rCUST.TXT 1 1988 1 0.0 0 0 0.00% 10 8 8 -1 0 8 1 8 1\n");
}

TEST_F(RecscanRun, MissingFileStartsNothing) {
  EXPECT_EQ(run({"-f2", dir.file("NONE")}, fake.context()), 1);
  EXPECT_EQ(fake.out.text(),
            "Recscan utility May 31, 2021\nFix option is 2\nError opening NONE.TXT\n");
  EXPECT_TRUE(fake.commands.empty());
}

TEST(Run, FailedWriteBackIsReportedAndTheScanGoesOn) {
  testkit::TempDir dir;
  std::string data = testkit::DataFile().record(std::string("A\0B", 3)).eof();
  data += std::string(70000, 'x');  // a second block that must be written back too
  data += testkit::DataFile().record("CD").eof().bytes();
  testkit::writeFile(dir.file("D.TXT"), data);
  // Read only: every write-back fails.
  Fd fd = openFile(dir.file("D.TXT"), O_RDONLY);
  Settings set;
  set.fixflg = FixMode::kNullToSpace;
  set.dmf.cmpflg1 = Compression::kNotConfigured;
  Scanner scan(set);
  testkit::Capture out;
  ReadFailure failure;
  const DataFile file{fd.get(), "./D.TXT", static_cast<std::int64_t>(data.size()), FileType::kDbc};
  EXPECT_FALSE(scanBlocks(file, scan, false, out.file(), failure));
  EXPECT_EQ(out.text(),
            "Error writing ./D.TXT at offset 0\nError writing ./D.TXT at offset 65536\n");
  EXPECT_FALSE(failure.failed());
  EXPECT_EQ(scan.reccnt, 2);
  EXPECT_EQ(scan.filsiz, static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(testkit::readFile(dir.file("D.TXT")), data);
}

// A file that cannot be read is neither an empty text file nor one that ends where reading failed.
TEST(Run, FailedReadIsNoEndOfTheFile) {
  testkit::TempDir dir;
  Fd fd = openFile(dir.path(), O_RDONLY);
  ReadFailure failure;
  const DataFile file{fd.get(), "./D.TXT", 0, FileType::kText};
  EXPECT_FALSE(fileType(file, failure));
  EXPECT_EQ(failure.offset, 0);
  EXPECT_EQ(failure.error, EISDIR);

  const Settings set;
  Scanner scan(set);
  failure = ReadFailure{};
  testkit::Capture out;
  EXPECT_TRUE(scanBlocks(file, scan, false, out.file(), failure));
  printReadFailure(out.file(), "./D.TXT", failure);
  EXPECT_EQ(out.text(), "Error reading ./D.TXT at offset 0: Is a directory\n");
}

}  // namespace
}  // namespace dbc::recscan
