#include "testkit/runner.hpp"

#include <gtest/gtest.h>

#include <csignal>

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

TEST(Runner, OffTheHappyPath) {
  Command r{
      "/bin/sh", {"-c", "if [ -e /proc/self/fd/1 ]; then echo open; else echo closed >&2; fi"},
      {},        "",
      "",        30};
  EXPECT_EQ(run(r).out, "open\n");
  EXPECT_EQ(run(r, Hazards().close(0).close(1)).err, "closed\n");
  Command echo{"/bin/echo", {"x"}, {}, "", "", 30};
  EXPECT_EQ(run(echo, Hazards().stdoutTo("/dev/full")).status, 1);
  Command sleeper{"/bin/sleep", {"5"}, {}, "", "", 30};
  EXPECT_EQ(run(sleeper, Hazards().signalAfter(SIGTERM, 0.2)).status, 128 + SIGTERM);
  Command a{"/bin/sh", {"-c", "echo a"}, {}, "", "", 30};
  Command b{"/bin/sh", {"-c", "echo b; exit 3"}, {}, "", "", 30};
  std::vector<RunResult> both = runTogether({a, b});
  EXPECT_EQ(both[0].out, "a\n");
  EXPECT_EQ(both[1].status, 3);
}

}  // namespace
}  // namespace testkit
