// jrnmake as users run it: messages, statuses, and the checksum list of real files.
#include <gtest/gtest.h>

#include <string>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::run;

TEST(JrnmakeTest, UsageAndOpenFailures) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a", "b"}}) {
    testkit::RunResult r = run("jrnmake", args);
    EXPECT_EQ(r.out, "Format: jrnmake file\n");
    EXPECT_EQ(r.status, 1);
  }
  testkit::TempDir dir;
  testkit::RunResult r = run("jrnmake", {dir.file("none")});
  EXPECT_EQ(r.out, "Error openning " + dir.file("none") + " \n");
  EXPECT_EQ(r.status, 1);
}

TEST(JrnmakeTest, ListsEveryRecord) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("ab"), "AB\xFA\xFB");
  testkit::RunResult r = run("jrnmake", {dir.file("ab")});
  EXPECT_EQ(r.out, "0 5862120\n");
  EXPECT_EQ(r.status, 0);

  testkit::writeFile(dir.file("empty"), "");
  r = run("jrnmake", {dir.file("empty")});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);

  // A deleted record between two others is left out of the list.
  testkit::writeFile(
      dir.file("del"),
      testkit::DataFile().record("AB").deleted(3).record("ABCDEFGHIJKLM").eof().bytes());
  r = run("jrnmake", {dir.file("del")});
  EXPECT_EQ(r.out, "0 5862120\n7 -7604003781530576320\n");
}

TEST(JrnmakeTest, AnUnreadableDataFileIsAnError) {
  // A directory opens but cannot be read: the list would be empty, not complete.
  testkit::TempDir dir;
  testkit::RunResult r = run("jrnmake", {dir.path()});
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("jrnmake: error reading " + dir.path()), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 1);
}

}  // namespace
