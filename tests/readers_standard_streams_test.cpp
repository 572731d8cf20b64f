// The checkers, recmend, seqnext, the audit tools and pageconv started the way a careless script
// or cron job starts them: with standard descriptors closed, or with standard output on a full
// disk. The data files must end exactly as after an ordinary run (a closed descriptor must never
// become a data file that reports and messages are written into), and a report that was lost
// must be said on standard error, never passed off as success.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using Files = std::map<std::string, std::string>;

struct Case {
  std::string program;
  std::vector<std::string> args;
  Files before;   // the folder's files before each run
  Files changed;  // files an ordinary run changes, as they must be afterwards
  int status;     // of an ordinary run
  // With standard output on a full disk: the status, and whether there was a report to lose.
  int fullStatus;
  bool reportLost = true;
};

// Every regular file of the folder, by name.
Files folder(const testkit::TempDir& dir) {
  Files files;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    if (e.is_regular_file()) files[e.path().filename()] = testkit::readFile(e.path());
  }
  return files;
}

testkit::RunResult runIn(const testkit::TempDir& dir, const Case& c, const testkit::Hazards& h) {
  for (const auto& [name, bytes] : c.before) testkit::writeFile(dir.file(name), bytes);
  testkit::Command cmd{c.program, c.args, {{"QLON_ROOT", dir.mkdir("qlon")}}, dir.path(), "", 60};
  return testkit::run(cmd, h);
}

std::string shown(const Case& c) {
  std::string s = c.program;
  for (const std::string& a : c.args) s += " " + a;
  return s;
}

std::string customers(char damage) {
  return testkit::DataFile()
      .record("CUSTOMER 0001 ACME LTD      ")
      .record(std::string("CUSTOMER 0002 BETA") + damage + "GMBH     ")
      .record("CUSTOMER 0003 GAMMA INC     ")
      .eof();
}

std::vector<Case> cases() {
  const std::string data = testkit::fixedRecords(40, 9, 3);
  std::string damaged = data;
  damaged[3] = '\x01';
  std::string mended = data;
  mended[3] = ' ';
  return {
      {"recscan", {"./CUST.TXT"}, {{"CUST.TXT", customers('\0')}}, {}, 0, 1},
      {"recscan",
       {"./CUST.TXT", "-f2"},
       {{"CUST.TXT", customers('\0')}},
       {{"CUST.TXT", customers(' ')}},
       0,
       1},
      {"recscan", {"./A", "-s"}, {{"A.TXT", "AB\nCD\n"}}, {}, 0, 1},
      // A read error message (position past the end) among the report; status 0 whatever.
      {"recmend", {"-d", "D.TXT", "-l", "10", "-p", "500", "-u"}, {{"D.TXT", data}}, {}, 0, 0},
      {"recmend",
       {"-d", "D.TXT", "-l", "10", "-i", "L", "-u"},
       {{"D.TXT", damaged}, {"L", "0\n500\nx\n"}},
       {{"D.TXT", mended}},
       0,
       0},
      {"seqnext",
       {"SERIAL.TXT"},
       {{"SERIAL.TXT", "         9 invoices\n"}},
       {{"SERIAL.TXT", "        10 invoices\n"}},
       0,
       1},
      {"jrnmake", {"D.TXT"}, {{"D.TXT", data}}, {}, 0, 1},
      {"jrnjoin", {"L1", "L2"}, {{"L1", "0 5\n10 7\n"}, {"L2", "0 5\n10 8\n"}}, {}, 0, 1},
      {"jrnpick", {"C", "D.TXT", "9"}, {{"C", "40\n110\n"}, {"D.TXT", data}}, {}, 0, 1},
      // pageconv says nothing on success, so a full disk on standard output loses nothing.
      {"pageconv", {"R.PRT", "R.RTF"}, {{"R.PRT", "PAGE 1\r\nTOTAL\r\n\f"}}, {}, 0, 0, false},
  };
}

TEST(ReadersStandardStreams, ClosedDescriptorsNeverBecomeTheDataFile) {
  const std::vector<std::vector<int>> closings = {{0}, {1}, {2}, {1, 2}, {0, 1, 2}};
  for (const Case& c : cases()) {
    testkit::TempDir plain;
    testkit::RunResult r = runIn(plain, c, {});
    ASSERT_EQ(r.status, c.status) << shown(c) << "\n" << r.out << r.err;
    Files want = folder(plain);
    for (const auto& [name, bytes] : c.before) {
      auto it = c.changed.find(name);
      EXPECT_TRUE(want[name] == (it != c.changed.end() ? it->second : bytes)) << shown(c) << name;
    }
    for (const std::vector<int>& closed : closings) {
      testkit::TempDir dir;
      testkit::Hazards h;
      std::string which;
      for (int fd : closed) h.close(fd), which += " " + std::to_string(fd) + ">&-";
      testkit::RunResult rc = runIn(dir, c, h);
      EXPECT_EQ(rc.status, c.status) << shown(c) << which;
      EXPECT_TRUE(folder(dir) == want) << shown(c) << which;
    }
  }
}

TEST(ReadersStandardStreams, FullDiskOnStandardOutputIsSaid) {
  for (const Case& c : cases()) {
    testkit::TempDir dir;
    testkit::RunResult r = runIn(dir, c, testkit::Hazards().stdoutTo("/dev/full"));
    EXPECT_EQ(r.status, c.fullStatus) << shown(c) << "\n" << r.err;
    if (c.reportLost) {
      EXPECT_NE(r.err.find(c.program + ": "), std::string::npos) << shown(c) << "\n" << r.err;
      EXPECT_NE(r.err.find("standard output"), std::string::npos) << shown(c) << "\n" << r.err;
    } else {
      EXPECT_EQ(r.err, "") << shown(c);
    }
    for (const auto& [name, bytes] : c.before) {
      auto it = c.changed.find(name);
      EXPECT_TRUE(testkit::readFile(dir.file(name)) == (it != c.changed.end() ? it->second : bytes))
          << shown(c) << name;
    }
  }
}

}  // namespace
