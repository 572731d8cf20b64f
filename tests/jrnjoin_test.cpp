// jrnjoin as users run it: messages, statuses and change lists.
#include <gtest/gtest.h>

#include <string>

#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::run;

TEST(JrnjoinTest, UsageAndOpenFailures) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a"}}) {
    testkit::RunResult r = run("jrnjoin", args);
    EXPECT_EQ(r.out, "Format: jrnjoin file\n");
    EXPECT_EQ(r.status, 1);
  }
  testkit::TempDir dir;
  testkit::writeFile(dir.file("a"), "0 5\n");
  testkit::RunResult r = run("jrnjoin", {dir.file("x"), dir.file("y")});
  EXPECT_EQ(r.out, "Error opening " + dir.file("x") + " \n");
  EXPECT_EQ(r.status, 1);
  r = run("jrnjoin", {dir.file("a"), dir.file("y")});
  EXPECT_EQ(r.out, "Error opening " + dir.file("y") + " \n");
  EXPECT_EQ(r.status, 1);
}

TEST(JrnjoinTest, ChangeLists) {
  testkit::TempDir dir;
  struct Case {
    std::string first, second, changes;
  };
  for (const Case& c : std::vector<Case>{
           {"0 5\n10 7\n", "0 5\n10 7\n", ""},
           {"0 5\n10 7\n", "0 5\n10 8\n20 9\n", "210\n310\n120\n"},
           {"0 5\n10 7\n", "10 7\n", "40\n"},
           {"", "0 1\n5 2\n9 3\n", "10\n15\n19\n"},
       }) {
    testkit::writeFile(dir.file("a"), c.first);
    testkit::writeFile(dir.file("b"), c.second);
    testkit::RunResult r = run("jrnjoin", {dir.file("a"), dir.file("b")});
    EXPECT_EQ(r.out, c.changes) << c.first << "/" << c.second;
    EXPECT_EQ(r.status, 0);
  }
}

TEST(JrnjoinTest, AnUnreadableListIsAnError) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("a"), "0 5\n");
  for (const auto& args : {std::vector<std::string>{dir.file("a"), dir.path()},
                           std::vector<std::string>{dir.path(), dir.file("a")}}) {
    testkit::RunResult r = run("jrnjoin", args);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("jrnjoin: error reading " + dir.path()), std::string::npos) << r.err;
    EXPECT_EQ(r.status, 1);
  }
}

}  // namespace
