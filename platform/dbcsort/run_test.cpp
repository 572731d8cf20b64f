#include "platform/dbcsort/run.hpp"

#include <gtest/gtest.h>

#include "common/stop.hpp"
#include "platform/dbcsort/options.hpp"
#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::dbcsort {
namespace {

// The run's settings and messages go through its context alone: the temporary folder and the
// budget come from the context's environment, every failure is told on its error stream.
TEST(DbcsortRun, SettingsAndMessagesGoThroughTheContext) {
  testkit::TempDir dir;
  std::string lines;
  for (int i = 0; i < 2000; ++i) lines += std::to_string((i * 7919) % 2000 + 10000) + "\n";
  testkit::writeFile(dir.file("in"), lines);
  const std::string tmp = dir.mkdir("runs");
  testkit::FakeContext fake;
  fake.env["TMPDIR"] = tmp;
  fake.env["DBCSORT_MEMORY"] = "16K";  // a sort in runs, which go to TMPDIR
  EXPECT_EQ(run({dir.file("in"), dir.file("out"), "1-5", "-T"}, fake.context()), 0);
  std::string expected;
  for (int i = 0; i < 2000; ++i) expected += std::to_string(10000 + i) + "\n";
  EXPECT_EQ(testkit::readFile(dir.file("out")), expected);
  EXPECT_EQ(fake.err.text(), "");
  EXPECT_EQ(fake.out.text(), "");

  fake.env["TMPDIR"] = dir.file("missing");
  try {
    run({dir.file("in"), dir.file("out2"), "1-5", "-T"}, fake.context());
    ADD_FAILURE() << "sorted without a folder for its runs";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, 1);
  }
  EXPECT_EQ(fake.err.text(), "DBCSORT: cannot create a temporary file in " + dir.file("missing") +
                                 ": No such file or directory\n");
  EXPECT_FALSE(testkit::exists(dir.file("out2")));

  testkit::FakeContext wrong;
  wrong.env["DBCSORT_MEMORY"] = "lots";
  try {
    run({dir.file("in"), dir.file("out"), "1-5", "-T"}, wrong.context());
    ADD_FAILURE() << "sorted with no budget";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, 2);
  }
  EXPECT_EQ(wrong.err.text(), "DBCSORT: DBCSORT_MEMORY is not a size such as 64M: lots\n");
  try {
    run({dir.file("in")}, wrong.context());
    ADD_FAILURE() << "ran without a command line";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, 2);
  }
  EXPECT_EQ(wrong.err.text(),
            "DBCSORT: DBCSORT_MEMORY is not a size such as 64M: lots\n" + std::string(kUsage));
}

}  // namespace
}  // namespace dbc::dbcsort
