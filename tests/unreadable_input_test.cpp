// Inputs that open but cannot be read: a directory, /proc/self/mem, a FIFO, a disk that fails a
// read. A failed read is neither more data nor the end of the data: no program may loop on it,
// nor take the part it read for the whole file. Every run has a short timeout, so that a program
// that loops again fails the test instead of hanging it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "testkit/datafile.hpp"
#include "testkit/fault.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

constexpr int kTimeout = 10;

testkit::RunResult runIn(const testkit::TempDir& dir, const std::string& program,
                         std::vector<std::string> args, std::map<std::string, std::string> env) {
  env.emplace("QLON_ROOT", dir.file("qlon"));
  return testkit::run({program, std::move(args), env, dir.path(), "", kTimeout});
}

std::string unableToOpen(const std::string& cfg) {
  return "\nError: Unable to open: " + cfg + " \n";
}

// Each configuration file that cannot be read is said, once for each look-up, and the run goes
// on as without one, exactly as for a file that cannot be opened.
TEST(UnreadableInput, ConfigurationOrEnvironmentFile) {
  testkit::TempDir dir;
  const std::string folder = dir.mkdir("cfg.d");
  testkit::writeFile(dir.file("A.TXT"), "AB\nCD\n");
  testkit::writeFile(dir.file("SERIAL.TXT"), "         9\n");
  struct Setting {
    const char* variable;
    std::string file;
  };
  const std::string summary = runIn(dir, "recscan", {"-s", "A"}, {}).out;
  for (const Setting& s : {Setting{"DBC_CFG", folder}, Setting{"DBC_CFG", "/proc/self/mem"},
                           Setting{"DBC_ENVFILE", folder}}) {
    const std::string said = unableToOpen(s.file);
    const std::map<std::string, std::string> env{{s.variable, s.file}};
    testkit::RunResult r = runIn(dir, "recscan", {"-s", "A"}, env);
    // The invalid-character switch (two keys) and the search path.
    EXPECT_EQ(r.out, said + said + said + summary) << s.variable << "=" << s.file;
    EXPECT_EQ(r.status, 0) << s.variable << "=" << s.file;

    // seqnext and the other programs read DBC_CFG only.
    r = runIn(dir, "seqnext", {"SERIAL"}, env);
    if (std::string(s.variable) == "DBC_CFG") {
      EXPECT_EQ(r.out, said + "Error opening SERIAL\n") << s.file;
      EXPECT_EQ(r.status, 1);
    } else {
      EXPECT_EQ(r.out, "Error opening SERIAL\n");
    }
  }
  EXPECT_EQ(testkit::readFile(dir.file("SERIAL.TXT")), "         9\n");

  // The same reader serves ixmark3 and DBCSORT.
  testkit::RunResult r = runIn(dir, "ixmark3", {"./X"}, {{"DBC_CFG", folder}});
  EXPECT_EQ(r.out.rfind(unableToOpen(folder), 0), 0u) << r.out;
  EXPECT_EQ(r.status, 1) << r.out;
  testkit::writeFile(dir.file("in"), testkit::DataFile().record("B").record("A").eof().bytes());
  r = runIn(dir, "DBCSORT", {"in", "out", "1-1", "-C"}, {{"DBC_CFG", folder}});
  EXPECT_EQ(r.out, unableToOpen(folder));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testkit::readFile(dir.file("out")),
            testkit::DataFile().record("A").record("B").eof().bytes());
}

TEST(UnreadableInput, RecscanDataFile) {
  testkit::TempDir dir;
  dir.mkdir("D.TXT");
  ASSERT_EQ(::symlink("/proc/self/mem", dir.file("M.TXT").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.file("P.TXT").c_str(), 0600), 0);
  struct Case {
    const char* name;
    std::string out;
  };
  for (const Case& c : {
           Case{"D", "Error opening D.TXT\n"},
           Case{"M", "Error reading ./M.TXT at offset 0: Input/output error\n"},
           Case{"P", "Error reading ./P.TXT at offset 0: Illegal seek\n"},
       }) {
    testkit::RunResult r = runIn(dir, "recscan", {"-s", c.name}, {});
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.status, 1);
  }
}

// A disk that fails the read of the second block: the first block is repaired, the rest is left
// as it was, and no report or summary line passes off the first block for the whole file.
TEST(UnreadableInput, RecscanReadFailsHalfway) {
  testkit::TempDir dir;
  std::string data = testkit::fixedRecords(2000, 100, 5);
  for (std::size_t at : {10u, 70000u, 140000u}) data[at] = '\0';
  testkit::writeFile(dir.file("D.TXT"), data);
  testkit::Command c{
      "recscan", {"-f2", "-v", "D"}, {{"QLON_ROOT", dir.file("qlon")}}, dir.path(), "", kTimeout};
  // The reads: the last byte, the kept text of both definition passes (there is no definition),
  // then the blocks.
  testkit::inject(c, {"read", 5, false, "EIO"});
  testkit::RunResult r = testkit::run(c);
  EXPECT_EQ(r.status, 1);
  const std::string tail = "\r 32%\rError reading ./D.TXT at offset 65536: Input/output error\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
  EXPECT_EQ(r.out.find("records="), std::string::npos) << r.out;
  std::string want = data;
  want[10] = ' ';
  EXPECT_TRUE(testkit::readFile(dir.file("D.TXT")) == want);
}

TEST(UnreadableInput, SeqnextCounterFile) {
  testkit::TempDir dir;
  dir.mkdir("DIR");
  ASSERT_EQ(::mkfifo(dir.file("FIFO").c_str(), 0600), 0);
  testkit::RunResult r = runIn(dir, "seqnext", {"DIR"}, {});
  EXPECT_EQ(r.out, "Error opening DIR\n");
  EXPECT_EQ(r.status, 1);
  for (const std::string& counter : {dir.file("FIFO"), std::string("/proc/self/mem")}) {
    r = runIn(dir, "seqnext", {counter}, {});
    EXPECT_EQ(r.out, "Error reading " + counter + "\n");
    EXPECT_EQ(r.status, 1);
  }
}

// An unreadable list is no empty list; recmend says so and, as always, ends with status 0.
TEST(UnreadableInput, RecmendList) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("F"), "ABCD\x01\xFA");
  dir.mkdir("L");
  testkit::RunResult r = runIn(dir, "recmend", {"-d", "F", "-l", "6", "-p", "0", "-i", "L"}, {});
  EXPECT_EQ(r.out,
            "DATAFILE: F\nSetting record size to: 6\nSetting record position to: 0\n"
            "Input file: L\nUsing fill character: ' ' (hex: 20; dec: 32).\n"
            "Record position: 0\nInvalid byte 4: \x01 (hex: 1; dec: 1) "
            "Number of invalid characters processed: 1\n");
  EXPECT_EQ(r.err, "An unknown error interrupted read!\nERROR: Is a directory\n");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
