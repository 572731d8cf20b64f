#include "testkit/runner.hpp"

#include <gtest/gtest.h>

#include "testkit/files.hpp"

namespace testkit {
namespace {

TEST(Runner, CollectsOutputStatusAndUsesTheGivenSetting) {
  TempDir dir;
  Command r;
  r.program = "/bin/sh";
  r.args = {"-c", "cat; echo \"[$FOO][$HOME]\"; pwd; echo oops >&2; exit 7"};
  r.env = {{"FOO", "bar"}};
  r.cwd = dir.path();
  r.in = "input\n";
  RunResult res = run(r);
  EXPECT_EQ(res.out, "input\n[bar][]\n" + dir.path() + "\n");
  EXPECT_EQ(res.err, "oops\n");
  EXPECT_EQ(res.status, 7);
}

TEST(Runner, LargeOutputAndInputDoNotDeadlock) {
  Command r;
  r.program = "/bin/cat";
  r.in = std::string(1 << 20, 'z');
  RunResult res = run(r);
  EXPECT_EQ(res.out.size(), r.in.size());
  EXPECT_EQ(res.status, 0);
}

TEST(Runner, SignalsAndTimeouts) {
  Command r;
  r.program = "/bin/sh";
  r.args = {"-c", "sleep 30"};
  r.timeoutSeconds = 1;
  EXPECT_EQ(run(r).status, 128 + 9);
  EXPECT_EQ(run("/bin/false", {}).status, 1);
}

}  // namespace
}  // namespace testkit
