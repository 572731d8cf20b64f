// Each writer under an injected I/O fault: the fault is reported and nothing is lost.
#include "testkit/fault.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/isam.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::Command;
using testkit::Fault;
using testkit::RunResult;

RunResult runWith(Command c, const Fault& f) {
  testkit::inject(c, f);
  return testkit::run(c);
}

TEST(FaultTest, RecscanReportsTheBlockItCouldNotWriteBackAndDamagesNoOther) {
  testkit::TempDir dir;
  dir.mkdir("qlon/dmf");
  // Three blocks of 65536 bytes, each with a NUL byte that -f2 turns into a space.
  std::string data = testkit::fixedRecords(2000, 100, 7);
  for (std::size_t at : {10u, 70000u, 140000u}) data[at] = '\0';
  data += '\xFB';
  testkit::writeFile(dir.file("D.TXT"), data);
  RunResult r =
      runWith({"recscan", {"D.TXT", "-f2"}, {{"QLON_ROOT", dir.file("qlon")}}, dir.path(), "", 60},
              {"write", 2, false, "EIO"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Error writing ./D.TXT at offset 65536\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("records=2000"), std::string::npos) << "the report still follows";
  std::string want = data;
  want[10] = ' ';
  want[140000] = ' ';
  EXPECT_TRUE(testkit::readFile(dir.file("D.TXT")) == want);
}

TEST(FaultTest, DbtidyNeverLosesTheSourceNorTheFormattedText) {
  testkit::TempDir dir;
  std::string tmp = dir.mkdir("tmp");
  const std::string source = "LOOP\nIF A = B\nX = 1\nENDIF\nREPEAT\n";
  testkit::writeFile(dir.file("S.TXT"), source);
  ASSERT_EQ(testkit::run("dbtidy", {dir.file("S.TXT"), dir.file("WANT.TXT")}).status, 0);
  const std::string formatted = testkit::readFile(dir.file("WANT.TXT"));
  ASSERT_NE(formatted, source);
  Command c{"dbtidy", {dir.file("S.TXT")}, {{"TMPDIR", tmp}}, dir.path(), "", 60};

  // Writing the work file fails: the source stays as it was and no work file is left.
  RunResult r = runWith(c, {"write", 1});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Original Source File left unchanged : " + dir.file("S.TXT")),
            std::string::npos)
      << r.out;
  EXPECT_EQ(testkit::readFile(dir.file("S.TXT")), source);
  EXPECT_TRUE(testkit::listDir(tmp).empty());

  // Copying back fails: the work file is kept, named, and holds the formatted source.
  r = runWith(c, {"write", 2});
  EXPECT_EQ(r.status, 1);
  const std::string said = "the formatted source is kept in : ";
  std::size_t at = r.out.find(said);
  ASSERT_NE(at, std::string::npos) << r.out;
  std::string kept = r.out.substr(at + said.size());
  kept = kept.substr(0, kept.find(' '));
  EXPECT_EQ(kept.rfind(tmp + "/", 0), 0u) << kept;
  EXPECT_EQ(testkit::readFile(kept), formatted);
}

TEST(FaultTest, RecmendReportsTheRecordItCouldNotWriteAndRepairsTheOthers) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("R.TXT"),
                     "AB\001D\xFA"
                     "EF\002H\xFA"
                     "IJ\003L\xFA");
  RunResult r = runWith({"recmend", {"-d", "R.TXT", "-l", "5", "-y", "-u"}, {}, dir.path(), "", 60},
                        {"write", 2, false, "EIO"});
  EXPECT_EQ(r.err, "ERROR: 0 bytes of 5 written.\n");
  EXPECT_EQ(testkit::readFile(dir.file("R.TXT")),
            "AB D\xFA"
            "EF\002H\xFA"
            "IJ L\xFA");
}

// Enough lines, and a budget small enough, that the sort writes and merges run files.
std::string manyLines(std::string* sorted) {
  std::vector<std::string> lines;
  for (int i = 0; i < 60000; ++i) {
    char b[64];
    std::snprintf(b, sizeof b, "%024d%08d tail of line %d\n", 0, (i * 7919) % 60000, i);
    lines.push_back(b);
  }
  std::string in;
  for (const std::string& l : lines) in += l;
  std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
    return a.compare(24, 8, b, 24, 8) < 0;
  });
  for (const std::string& l : lines) *sorted += l;
  return in;
}

TEST(FaultTest, DbcsortLeavesNoPartialOutputAndNoRunFile) {
  testkit::TempDir dir;
  std::string sorted;
  testkit::writeFile(dir.file("in"), manyLines(&sorted));
  Command c{"DBCSORT", {"in", "out", "25-32", "-T"}, {{"DBCSORT_MEMORY", "1M"}}, dir.path(), "",
            60};
  ASSERT_EQ(testkit::run(c).status, 0);
  ASSERT_TRUE(testkit::readFile(dir.file("out")) == sorted);
  for (const char* op : {"write", "read", "rename"}) {
    for (int nth : {1, 2, 3, 5, 8, 13}) {
      std::filesystem::remove(dir.file("out"));
      RunResult r = runWith(c, {op, nth});
      if (r.status == 0) {
        // The fault came after the last such call: the output is whole.
        EXPECT_TRUE(testkit::readFile(dir.file("out")) == sorted) << op << nth;
      } else {
        EXPECT_EQ(r.status, 1) << op << nth;
        EXPECT_NE(r.err.find("DBCSORT: "), std::string::npos) << op << nth;
        EXPECT_EQ(testkit::listDir(dir.path()), std::vector<std::string>{"in"}) << op << nth;
      }
    }
  }
  // An existing output stays as it was when the sort that would replace it fails.
  testkit::writeFile(dir.file("out"), "old\n");
  EXPECT_EQ(runWith(c, {"write", 1}).status, 1);
  EXPECT_EQ(testkit::readFile(dir.file("out")), "old\n");
}

TEST(FaultTest, Ixmark3ReportsTheSortedFileThatAFailedSortDidNotWrite) {
  testkit::TempDir dir;
  std::string wrk = dir.mkdir("wrk");
  testkit::writeConfig(dir.file("dbc.cfg"), {{"dbcdx.file.vol.wrk", wrk}});
  testkit::writeFile(dir.file("DATA.TXT"),
                     testkit::DataFile().record("AAAA").record("BBBB").eof().bytes());
  testkit::IsamFile f({"./DATA", "1-4", 256, 4, 'I', false});
  f.tree({{"AAAA", 0}, {"BBBB", 5}});
  testkit::writeFile(dir.file("X.ISI"), f.bytes());
  // ixmark3 renames nothing itself: the fault meets DBCSORT's rename of its output into place.
  RunResult r = runWith(
      {"ixmark3", {"./X"}, {{"DBC_CFG", dir.file("dbc.cfg")}}, dir.path(), "", 60}, {"rename", 1});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Error opening " + wrk + "/X.SRT \n"), std::string::npos) << r.out;
}

TEST(FaultTest, SeqnextPrintsNoNumberWhenTheNewOneCannotBeWritten) {
  testkit::TempDir dir;
  const std::string counter = "         9 and the rest\n";
  testkit::writeFile(dir.file("SERIAL.TXT"), counter);
  RunResult r = runWith({"seqnext", {dir.file("SERIAL.TXT")}, {}, dir.path(), "", 60},
                        {"write", 1, false, "EIO"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Error writing " + dir.file("SERIAL.TXT") + "\n");
  EXPECT_EQ(testkit::readFile(dir.file("SERIAL.TXT")), counter);
}

TEST(FaultTest, PageconvGivesBackTheRoomItSetAsideWhenTheRunStopsEarly) {
  testkit::TempDir dir;
  std::string print;
  for (int i = 0; print.size() < 1000000; ++i)
    print += "INVOICE LINE " + std::to_string(i) + "\r\n";
  testkit::writeFile(dir.file("R.PRT"), print);
  // A read or a write fails a few blocks in: the run stops with the message, and the output
  // holds no more disk than its size shows.
  for (const Fault& fault : {Fault{"read", 4, false, "EIO"}, Fault{"write", 3, false, "EIO"}}) {
    SCOPED_TRACE(fault.op);
    RunResult r = runWith(
        {"pageconv", {dir.file("R.PRT"), dir.file("R.RTF")}, {}, dir.path(), "", 60}, fault);
    EXPECT_EQ(r.status, 1);
    const std::string said = fault.op == "read" ? "Error reading " + dir.file("R.PRT")
                                                : "Error writing " + dir.file("R.RTF");
    EXPECT_NE(r.out.find(said + " \n"), std::string::npos) << r.out;
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("R.RTF").c_str(), &st), 0);
    EXPECT_LE(st.st_blocks * 512, st.st_size + 65536) << "blocks " << st.st_blocks;
  }
}

}  // namespace
