// dbcsweep on a generated installation: its verdicts and figures agree with recscan -s and
// ixmark3 -v run one by one on the same files; it never changes a data or index file and leaves
// no work file; the exit status says what was found; and it stays so off the happy path (a read
// error, closed descriptors, a failed JSON write, two sweeps at once).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testkit/fault.hpp"
#include "testkit/files.hpp"
#include "testkit/installation.hpp"
#include "testkit/runner.hpp"

namespace {

// The files of one JSON document, one object a line as dbcsweep writes them, by path.
std::map<std::string, std::string> filesOf(const std::string& json) {
  std::map<std::string, std::string> files;
  std::istringstream in(json);
  const std::string head = "{\"path\": \"";
  for (std::string line; std::getline(in, line);) {
    std::size_t at = line.find(head);
    if (at == std::string::npos) continue;
    at += head.size();
    files[line.substr(at, line.find('"', at) - at)] = line;
  }
  return files;
}

// The value of `key` in one file's object, as text; empty when it is left out.
std::string field(const std::string& object, const std::string& key) {
  const std::string head = "\"" + key + "\": ";
  std::size_t at = object.find(head);
  if (at == std::string::npos) return "";
  at += head.size();
  if (object[at] == '"') return object.substr(at + 1, object.find('"', at + 1) - at - 1);
  return object.substr(at, object.find_first_of(",}", at) - at);
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

// The number before `what` in ixmark3's verbose output ("12 errors"), or -1.
long countBefore(const std::string& out, const std::string& what) {
  std::size_t at = out.find(" " + what);
  if (at == std::string::npos) return -1;
  std::size_t start = out.find_last_not_of("0123456789", at - 1) + 1;
  return std::stol(out.substr(start, at - start));
}

class Sweep : public ::testing::Test {
 protected:
  explicit Sweep(testkit::InstallationPlan plan = {})
      : in_(testkit::buildInstallation(dir_.path(), plan)) {
    env_ = {{"DBC_CFG", in_.config}, {"QLON_ROOT", in_.qlon}};
    snapshot_ = testkit::regularFiles(in_);
  }
  testkit::RunResult sweep(std::vector<std::string> args, const testkit::Hazards& h = {}) {
    testkit::Command c{"dbcsweep", std::move(args), env_, dir_.path(), "", 300};
    return testkit::run(c, h);
  }
  void expectUntouchedAndClean(const std::string& what) {
    EXPECT_TRUE(testkit::regularFiles(in_) == snapshot_)
        << what << ": a data or index file changed";
    EXPECT_EQ(testkit::listDir(in_.wrk), std::vector<std::string>{}) << what;
  }
  testkit::TempDir dir_;
  testkit::Installation in_;
  std::map<std::string, std::string> env_;
  std::map<std::string, std::string> snapshot_;
};

TEST_F(Sweep, AgreesWithRecscanAndIxmark3RunOneByOne) {
  testkit::RunResult r = sweep({"-j", "3", "--json", dir_.file("r.json")});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  expectUntouchedAndClean("sweep");
  std::map<std::string, std::string> files = filesOf(testkit::readFile(dir_.file("r.json")));
  ASSERT_EQ(files.size(), in_.expected.size());
  int counts[4] = {0, 0, 0, 0};
  for (const auto& [path, verdict] : in_.expected) {
    ASSERT_TRUE(files.count(path)) << path;
    const std::string& o = files[path];
    EXPECT_EQ(field(o, "verdict"), verdict) << o;
    counts[verdict == "ok" ? 0 : verdict == "damaged" ? 1 : verdict == "mismatch" ? 2 : 3]++;
    // Each line of the table names the file with its verdict in capitals.
    std::string upper = verdict;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(ch));
    EXPECT_NE(r.out.find(upper), std::string::npos);
    EXPECT_NE(r.out.find(" " + path + " "), std::string::npos) << path;
    if (field(o, "kind") == "data" && verdict != "error") {
      testkit::RunResult one = testkit::run({"recscan", {path, "-s"}, env_, dir_.path(), "", 60});
      std::vector<std::string> s = words(one.out);  // name records chksum eofcnt errcnt.errcnt2 ...
      ASSERT_GE(s.size(), 9u) << one.out;
      EXPECT_EQ(field(o, "records"), s[1]) << path;
      EXPECT_EQ(field(o, "damaged_bytes"), s[4].substr(0, s[4].find('.'))) << path;
      EXPECT_EQ(field(o, "deleted_percent") + "%", s[7]) << path;
      EXPECT_EQ(field(o, "size"), s[8]) << path;
      EXPECT_EQ(field(o, "disagreements"), "") << "no such figure for a data file";
    } else if (field(o, "kind") == "index") {
      auto e = env_;
      e["NDXPROBE_WRK"] = in_.wrk;
      testkit::RunResult one = testkit::run({"ixmark3", {"-v", path}, e, dir_.path(), "", 60});
      if (verdict == "error") {
        EXPECT_EQ(one.status, 1) << one.out;
        EXPECT_NE(field(o, "reason"), "") << o;
        continue;
      }
      EXPECT_EQ(field(o, "disagreements"), std::to_string(countBefore(one.out, "errors"))) << path;
      EXPECT_EQ(field(o, "records"), std::to_string(countBefore(one.out, "records in index file")));
      for (const std::string& n : testkit::listDir(in_.wrk))
        std::remove((in_.wrk + "/" + n).c_str());
    }
  }
  char summary[128];
  std::snprintf(summary, sizeof summary, "%zu files: %d OK, %d DAMAGED, %d MISMATCH, %d ERROR\n",
                in_.expected.size(), counts[0], counts[1], counts[2], counts[3]);
  EXPECT_NE(r.out.find(summary), std::string::npos) << r.out;
  EXPECT_GT(counts[1], 0);
  EXPECT_GT(counts[2], 0);
  EXPECT_GT(counts[3], 0);
}

TEST_F(Sweep, QuietAndTheKindsOfFileAndTheStatusOfEachOutcome) {
  testkit::RunResult q = sweep({"--quiet", "--indexes-only"});
  EXPECT_EQ(q.status, 1);
  EXPECT_EQ(q.out.find("OK "), std::string::npos) << q.out;
  EXPECT_EQ(q.out.find(".TXT"), std::string::npos) << q.out;
  EXPECT_NE(q.out.find("MISMATCH "), std::string::npos);
  EXPECT_NE(q.out.find("ERROR     " + in_.folders[0] + "/LOST.ISI"), std::string::npos) << q.out;

  // A folder of good files only; then with one that cannot be read; then a usage error.
  const std::string clean = dir_.mkdir("clean");
  testkit::writeFile(clean + "/A.TXT", testkit::readFile(in_.folders[0] + "/F000.TXT"));
  testkit::RunResult ok = sweep({clean});
  EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find("1 files: 1 OK, 0 DAMAGED, 0 MISMATCH, 0 ERROR"), std::string::npos);
  testkit::RunResult unreadable =
      sweep({clean, in_.folders[1] + "/GHOST.TXT/..", dir_.file("none")});
  EXPECT_EQ(unreadable.status, 2) << unreadable.out;
  EXPECT_NE(unreadable.out.find("cannot read folder"), std::string::npos) << unreadable.out;
  // No DBCSORT on the path: every index is an ERROR that says why, nothing else is spoilt.
  testkit::Command nosort{"dbcsweep", {"--indexes-only", in_.folders[1]}, env_, dir_.path(), "",
                          120};
  nosort.env["PATH"] = "/usr/bin:/bin";
  testkit::RunResult n = testkit::run(nosort);
  EXPECT_EQ(n.status, 2) << n.out;
  EXPECT_NE(n.out.find("ERROR     " + in_.folders[1] + "/CUST.ISI "), std::string::npos) << n.out;
  EXPECT_NE(n.out.find("(the sort ended with status 127)\n"), std::string::npos) << n.out;
  testkit::RunResult usage = sweep({"--data-only", "--indexes-only"});
  EXPECT_EQ(usage.status, 3);
  EXPECT_NE(usage.err.find("Usage: dbcsweep"), std::string::npos);
  expectUntouchedAndClean("runs");
}

// A read that fails in the middle of one data file: that file is an ERROR with the reason, every
// other file is checked, and the status says something could not be checked.
TEST_F(Sweep, AReadErrorOnOneFileSpoilsThatFileAlone) {
  const std::string folder = dir_.mkdir("four");
  for (int i : {0, 1, 2, 4}) {  // the undamaged ones
    testkit::writeFile(folder + "/D" + std::to_string(i) + ".TXT",
                       testkit::readFile(in_.folders[i % 3] + "/F00" + std::to_string(i) + ".TXT"));
  }
  // Four reads of the last bytes while the folder is read, then the largest file's type test and
  // the two reads of its definition look-up: the next read is the first of its scan.
  testkit::Command c{
      "dbcsweep", {"-j", "1", "--json", dir_.file("f.json"), folder}, env_, dir_.path(), "", 120};
  testkit::inject(c, {.op = "read", .nth = 8, .error = "EIO", .program = "dbcsweep"});
  testkit::RunResult r = testkit::run(c);
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  std::map<std::string, std::string> files = filesOf(testkit::readFile(dir_.file("f.json")));
  ASSERT_EQ(files.size(), 4u);
  int errors = 0;
  for (const auto& [path, o] : files) {
    if (field(o, "verdict") == "error") {
      ++errors;
      EXPECT_NE(field(o, "reason").find("Input/output error"), std::string::npos) << o;
    } else {
      EXPECT_EQ(field(o, "verdict"), "ok") << o;
    }
  }
  EXPECT_EQ(errors, 1) << r.out;
}

TEST_F(Sweep, ClosedDescriptorsAndAFailedJsonWrite) {
  testkit::RunResult r =
      sweep({"--json", dir_.file("c.json")}, testkit::Hazards().close(0).close(1).close(2));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(filesOf(testkit::readFile(dir_.file("c.json"))).size(), in_.expected.size());
  expectUntouchedAndClean("closed descriptors");

  testkit::writeFile(dir_.file("w.json"), "yesterday's\n");
  const std::string clean = dir_.mkdir("clean");
  testkit::writeFile(clean + "/A.TXT", testkit::readFile(in_.folders[0] + "/F000.TXT"));
  testkit::Command c{"dbcsweep", {"--json", dir_.file("w.json"), clean}, env_, dir_.path(), "",
                     120};
  testkit::inject(c, {.op = "write", .nth = 1, .error = "ENOSPC", .program = "dbcsweep"});
  testkit::RunResult w = testkit::run(c);
  EXPECT_EQ(w.status, 2) << w.out << w.err;  // every file OK, but the monitoring gets nothing
  EXPECT_NE(w.err.find("No space left on device"), std::string::npos) << w.err;
  EXPECT_EQ(testkit::readFile(dir_.file("w.json")), "yesterday's\n");
  for (const std::string& n : testkit::listDir(dir_.path()))
    EXPECT_EQ(n.find(".tmp."), std::string::npos) << n;
}

TEST_F(Sweep, TwoSweepsAtOnceKeepOutOfEachOthersWay) {
  std::vector<testkit::Command> two(
      2, testkit::Command{"dbcsweep", {"-j", "2"}, env_, dir_.path(), "", 300});
  two[0].args.insert(two[0].args.end(), {"--json", dir_.file("a.json")});
  two[1].args.insert(two[1].args.end(), {"--json", dir_.file("b.json")});
  std::vector<testkit::RunResult> rs = testkit::runTogether(two);
  for (const testkit::RunResult& r : rs) EXPECT_EQ(r.status, 1) << r.out << r.err;
  std::map<std::string, std::string> a = filesOf(testkit::readFile(dir_.file("a.json")));
  std::map<std::string, std::string> b = filesOf(testkit::readFile(dir_.file("b.json")));
  ASSERT_EQ(a.size(), in_.expected.size());
  for (const auto& [path, verdict] : in_.expected) {
    EXPECT_EQ(field(a[path], "verdict"), verdict) << path;
    EXPECT_EQ(field(b[path], "verdict"), verdict) << path;
    EXPECT_EQ(field(a[path], "disagreements"), field(b[path], "disagreements")) << path;
  }
  expectUntouchedAndClean("two at once");
}

}  // namespace
