#include "audit/run.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/stop.hpp"
#include "testkit/context.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace dbc::audit {
namespace {

struct Ran {
  int status;
  std::string out, err;
};

Ran runTool(ProgramRun tool, const std::vector<std::string>& args) {
  testkit::FakeContext fake;
  int status = tool(args, fake.context());
  EXPECT_TRUE(fake.commands.empty());  // the audit tools start nothing
  return {status, fake.out.text(), fake.err.text()};
}

TEST(AuditRun, UsageAndOpenFailuresAreSaidOnTheOutputWithStatus1) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("L"), "");
  const std::string missing = dir.file("missing");
  struct Case {
    ProgramRun tool;
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {jrnmake, {}, "Format: jrnmake file\n"},
      {jrnmake, {"a", "b"}, "Format: jrnmake file\n"},
      {jrnmake, {missing}, "Error openning " + missing + " \n"},
      {jrnjoin, {dir.file("L")}, "Format: jrnjoin file\n"},
      {jrnjoin, {missing, dir.file("L")}, "Error opening " + missing + " \n"},
      {jrnjoin, {dir.file("L"), missing}, "Error opening " + missing + " \n"},
      {jrnpick, {dir.file("L")}, "Format: jrnpick file\n"},
      {jrnpick, {dir.file("L"), missing, "10"}, "Error opening " + missing + " \n"},
  };
  for (const Case& c : cases) {
    Ran r = runTool(c.tool, c.args);
    EXPECT_EQ(r.status, 1) << c.out;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
}

TEST(AuditRun, TheChainThroughCapturedOutputs) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("old"), testkit::DataFile().record("AB").record("CD").eof().bytes());
  testkit::writeFile(dir.file("new"), testkit::DataFile().record("AB").record("CE").eof().bytes());
  Ran a = runTool(jrnmake, {dir.file("old")});
  Ran b = runTool(jrnmake, {dir.file("new")});
  EXPECT_EQ(a.out, "0 5862120\n3 5862188\n");
  testkit::writeFile(dir.file("a"), a.out);
  testkit::writeFile(dir.file("b"), b.out);
  Ran c = runTool(jrnjoin, {dir.file("a"), dir.file("b")});
  EXPECT_EQ(c.out, "23\n33\n");
  testkit::writeFile(dir.file("c"), c.out);
  Ran d = runTool(jrnpick, {dir.file("c"), dir.file("new"), "2"});
  EXPECT_EQ(d.out,
            "23|\xFA"
            "33|CE\xFA\xFB");
  for (const Ran& r : {a, b, c, d}) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
  }
}

TEST(AuditRun, AReadErrorStopsTheRunOnTheErrorStream) {
  testkit::TempDir dir;
  testkit::FakeContext fake;
  EXPECT_THROW(
      {
        try {
          jrnmake({dir.path()}, fake.context());
        } catch (const Stop& stop) {
          EXPECT_EQ(stop.status, 1);
          throw;
        }
      },
      Stop);
  EXPECT_EQ(fake.err.text(), "jrnmake: error reading " + dir.path() + ": Is a directory\n");
  EXPECT_EQ(fake.out.text(), "");
}

}  // namespace
}  // namespace dbc::audit
