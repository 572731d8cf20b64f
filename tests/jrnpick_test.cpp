// jrnpick as users run it: messages, statuses and the changed-record file.
#include <gtest/gtest.h>

#include <string>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::run;

TEST(JrnpickTest, UsageAndOpenFailures) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("c"), "120\n");
  // The data file is needed as well as the change list.
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {dir.file("c")}}) {
    testkit::RunResult r = run("jrnpick", args);
    EXPECT_EQ(r.out, "Format: jrnpick file\n");
    EXPECT_EQ(r.status, 1);
  }
  testkit::RunResult r = run("jrnpick", {dir.file("x"), dir.file("y"), "4"});
  EXPECT_EQ(r.out, "Error opening " + dir.file("x") + " \n");
  EXPECT_EQ(r.status, 1);
  r = run("jrnpick", {dir.file("c"), dir.file("y"), "4"});
  EXPECT_EQ(r.out, "Error opening " + dir.file("y") + " \n");
  EXPECT_EQ(r.status, 1);
}

TEST(JrnpickTest, ChangedRecordFiles) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("data"),
                     "AB\xFF"
                     "C\xFA\xFB");
  struct Case {
    std::string changes;
    std::vector<std::string> length;
    std::string out;
  };
  for (const Case& c : std::vector<Case>{
           {"120\n", {"4"}, "120|\xFA\xFB"},
           {"40\n", {"4"}, "40|ABC\xFA\xFB"},
           {"", {"4"}, "\xFB"},
           {"40\n", {}, "40|\xFA\xFB"},  // no length: no data
           {"40\n", {"0"}, "40|\xFA\xFB"},
           {"40\n", {"2"}, "40|AB\xFA\xFB"},  // three bytes examined, no mark: ended anyway
       }) {
    testkit::writeFile(dir.file("c"), c.changes);
    std::vector<std::string> args{dir.file("c"), dir.file("data")};
    args.insert(args.end(), c.length.begin(), c.length.end());
    testkit::RunResult r = run("jrnpick", args);
    EXPECT_EQ(r.out, c.out) << c.changes;
    EXPECT_EQ(r.status, 0);
  }
}

TEST(JrnpickTest, AnUnreadableListOrDataFileIsAnError) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("c"), "40\n");
  testkit::RunResult r = run("jrnpick", {dir.file("c"), dir.path(), "4"});
  EXPECT_NE(r.err.find("jrnpick: error reading " + dir.path()), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 1);

  // The change list a directory: no change list is no empty one.
  testkit::writeFile(dir.file("data"), testkit::fixedRecords(3, 4, 1));
  r = run("jrnpick", {dir.path(), dir.file("data"), "4"});
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("jrnpick: error reading " + dir.path()), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 1);
}

}  // namespace
