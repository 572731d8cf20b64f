#include "common/shell.hpp"

#include <gtest/gtest.h>

#include "testkit/files.hpp"

namespace dbc {
namespace {

// Every awkward name must reach the command as exactly one argument, byte for byte.
TEST(Shell, QuotedNamesRoundTripThroughTheShell) {
  testkit::TempDir dir;
  const std::string names[] = {"plain",       "with space", "it's",      "a\"b",  "x;rm -rf y",
                               "$HOME",       "`id`",       "new\nline", "*.DMF", "-n",
                               "back\\slash", "",           "'''"};
  for (const std::string& name : names) {
    std::string out = dir.file("out");
    std::string cmd = "printf '%s' " + shellQuote(name) + " > " + shellQuote(out);
    ASSERT_EQ(exitStatus(runShell(cmd)), 0) << cmd;
    EXPECT_EQ(testkit::readFile(out), name);
  }
}

TEST(Shell, PlainWordsStayAsTheyAre) {
  EXPECT_EQ(shellWord("SOH0001.TXT"), "SOH0001.TXT");
  EXPECT_EQ(shellWord("/tmp/a-b_c"), "/tmp/a-b_c");
  EXPECT_EQ(shellWord("a;b"), "'a;b'");
  EXPECT_EQ(shellWord(""), "''");
  EXPECT_EQ(shellWord("/x", "._-"), "'/x'");
}

TEST(Shell, ExitStatusOfTheChild) {
  EXPECT_EQ(exitStatus(runShell("exit 3")), 3);
  EXPECT_EQ(exitStatus(runShell("kill -9 $$")), 128 + 9);
}

}  // namespace
}  // namespace dbc
