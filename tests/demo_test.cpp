// make demo end to end: the demo script runs every step on a scratch copy of the sample
// installation with the built programs, ends with status 0, and keeps each step to one screen.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

constexpr int kScreenLines = 24;

TEST(Demo, EveryStepRunsAndFitsOneScreen) {
  testkit::TempDir dir;
  testkit::Command c;
  c.program = "/bin/sh";
  c.args = {std::string(DBC_SOURCE_DIR) + "/examples/demo.sh", testkit::binDir()};
  c.env = {{"DEMO_DIR", dir.file("demo")}, {"HOME", dir.path()}, {"LC_ALL", "C"}};
  c.cwd = dir.path();
  testkit::RunResult r = testkit::run(c);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");

  std::istringstream out(r.out);
  std::string line, step;
  int steps = 0, lines = 0;
  auto endStep = [&] {
    if (!step.empty()) {
      EXPECT_LE(lines, kScreenLines) << step;
    }
  };
  while (std::getline(out, line)) {
    if (line.starts_with("=== Step ")) {
      endStep();
      step = line, lines = 0, ++steps;
    }
    if (!line.empty()) ++lines;
    // A step that fails shows its status: the demo shows no failure it does not explain.
    EXPECT_EQ(line.find("(exit status"), std::string::npos) << step << ": " << line;
  }
  endStep();
  EXPECT_GE(steps, 8);
  EXPECT_NE(r.out.find("The demo is finished."), std::string::npos);
  // The sweep at the end sees what the steps before it found and left: CONTACT's damage, the
  // stale index, and CUST repaired.
  EXPECT_NE(
      r.out.find("7 files: 5 OK, 1 DAMAGED, 1 MISMATCH, 0 ERROR\ndbcsweep ended with status 1"),
      std::string::npos);
}

}  // namespace
