// The audit chain end to end: two snapshots of a data file, their checksum lists, the change list
// and the changed records, each step a separate program fed the files of the one before.
#include <gtest/gtest.h>

#include <string>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

constexpr std::size_t kLen = 60;
constexpr std::size_t kCount = 400;

std::string sh(const std::string& script, const testkit::TempDir& dir) {
  testkit::Command c;
  c.program = "/bin/sh";
  c.args = {"-c", script};
  c.cwd = dir.path();
  testkit::RunResult r = testkit::run(c);
  EXPECT_EQ(r.status, 0) << script << ": " << r.err;
  EXPECT_EQ(r.err, "");
  return r.out;
}

TEST(AuditChainTest, SnapshotsToChangedRecords) {
  std::string old = testkit::fixedRecords(kCount, kLen, 42);
  std::string now = old;
  auto at = [](std::size_t k) { return k * (kLen + 1); };
  // Changed in place: one byte, a whole record, and the last record.
  now[at(3) + 10] = now[at(3) + 10] == 'x' ? 'y' : 'x';
  now.replace(at(200), kLen, std::string(kLen, '#'));
  now[at(kCount - 1)] = now[at(kCount - 1)] == 'q' ? 'r' : 'q';
  // Deleted the way DB/C deletes: the bytes become deleted space, the mark stays.
  now.replace(at(17), kLen, std::string(kLen, '\xFF'));
  now.replace(at(18), kLen, std::string(kLen, '\xFF'));
  // Two records appended before the end-of-file mark.
  std::string added = testkit::fixedRecords(2, kLen, 7);
  now.pop_back();
  now += added;
  ASSERT_EQ(now.size(), at(kCount + 2) + 1);

  testkit::TempDir dir;
  testkit::writeFile(dir.file("old"), old);
  testkit::writeFile(dir.file("new"), now);
  sh("jrnmake old > a && jrnmake new > b && jrnjoin a b > c && jrnpick c new " +
         std::to_string(kLen) + " > d",
     dir);

  auto record = [&](std::size_t k) { return now.substr(at(k), kLen + 1); };
  auto pos = [&](std::size_t k) { return std::to_string(at(k)); };
  std::string changes = "2" + pos(3) + "\n3" + pos(3) + "\n4" + pos(17) + "\n4" + pos(18) + "\n2" +
                        pos(200) + "\n3" + pos(200) + "\n2" + pos(kCount - 1) + "\n3" +
                        pos(kCount - 1) + "\n1" + pos(kCount) + "\n1" + pos(kCount + 1) + "\n";
  EXPECT_EQ(testkit::readFile(dir.file("c")), changes);

  // One record per change line: the line, a bar, then the record's bytes (kinds 3 and 4) or a mark.
  std::string want;
  auto picked = [&](char code, std::size_t k, const std::string& body) {
    want += code;
    want += pos(k);
    want += '|';
    want += body;
  };
  picked('2', 3, "\xFA");
  picked('3', 3, record(3));
  picked('4', 17, "\xFA");
  picked('4', 18, "\xFA");
  picked('2', 200, "\xFA");
  picked('3', 200, record(200));
  picked('2', kCount - 1, "\xFA");
  picked('3', kCount - 1, record(kCount - 1));
  picked('1', kCount, "\xFA");
  picked('1', kCount + 1, "\xFA");
  want += '\xFB';
  EXPECT_EQ(testkit::readFile(dir.file("d")), want);

  // A file compared with itself has no changes, and its extract is an empty data file.
  EXPECT_EQ(sh("jrnjoin b b > e && jrnpick e new 60 | od -An -tx1", dir), " fb\n");
}

}  // namespace
