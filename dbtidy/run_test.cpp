#include "dbtidy/run.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/stop.hpp"
#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::dbtidy {
namespace {

const std::string kBanner = "dbtidy - DB/C source beautifier\n";

// The run sees the context's environment, not the process's: DBTIDY_OPTS, the source path and
// TMPDIR all come from the fake, and the process's DBC_SRCPATH is left as it was.
TEST(DbtidyRun, ReadsOnlyTheContextsEnvironment) {
  testkit::TempDir dir;
  const std::string src = dir.mkdir("src"), tmp = dir.mkdir("tmp");
  testkit::writeFile(src + "/P.TXT", " if a\n debug x\n endif\n");
  const char* before = std::getenv("DBC_SRCPATH");
  const std::string processPath = before ? before : "(unset)";

  testkit::FakeContext fake;
  fake.env = {{"DBC_SRCPATH", src}, {"DBTIDY_OPTS", "-K"}, {"TMPDIR", tmp}};
  EXPECT_EQ(run({"P.TXT"}, fake.context()), 0);
  const std::string out = fake.out.text();
  const std::string prefix = kBanner +
                             "DBTIDY_OPTS will be used in addition to command line options\n"
                             "Kill DEBUG statements\n" +
                             ("Using DBC_SRCPATH from Environment : " + src + "\n") +
                             ("Input File : " + src + "/P.TXT\n") +
                             ("Creating Temporary File : " + tmp + "/dbtidy");
  EXPECT_EQ(out.substr(0, prefix.size()), prefix);
  EXPECT_NE(out.find("Copy back Complete\nDeleting Temporary File\n"), std::string::npos);
  EXPECT_EQ(testkit::readFile(src + "/P.TXT"), "\tif a\n\tendif\n");
  EXPECT_TRUE(testkit::listDir(tmp).empty());
  EXPECT_EQ(fake.err.text(), "");
  EXPECT_TRUE(fake.commands.empty());  // dbtidy starts nothing

  const char* after = std::getenv("DBC_SRCPATH");
  EXPECT_EQ(after ? after : "(unset)", processPath);
}

TEST(DbtidyRun, HelpWithoutArgumentsAndFailuresAsStop) {
  {
    testkit::FakeContext fake;
    fake.env = {{"DBTIDY_OPTS", "in.txt"}};
    EXPECT_EQ(run({}, fake.context()), 1);
    EXPECT_EQ(fake.out.text().rfind(kBanner + "\nFormat: dbtidy infile outfile <options>\n", 0),
              0u);
  }
  testkit::TempDir dir;
  testkit::FakeContext fake;
  try {
    run({dir.file("missing")}, fake.context());
    FAIL() << "no stop";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, 1);
  }
  EXPECT_EQ(fake.out.text(), kBanner + "No Source Path\n\nUnable to open input file : " +
                                 dir.file("missing") + "\n\n");
}

}  // namespace
}  // namespace dbc::dbtidy
