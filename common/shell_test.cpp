#include "common/shell.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
  EXPECT_EQ(exitStatus(runShellHeld("exit 3")), 3);
}

// A signal for the caller waits until the command has done its work, then ends the caller; the
// command itself can still be ended by one.
TEST(Shell, HeldCommandFinishesBeforeTheCallerDiesOfTheSignal) {
  testkit::TempDir dir;
  const std::string done = dir.file("done");
  for (int sig : {SIGHUP, SIGINT, SIGTERM}) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      signal(sig, SIG_DFL);  // a test started in the background may have SIGINT ignored
      runShellHeld("kill -" + std::to_string(sig) + " $PPID; sleep 0.2; echo x > " +
                   shellQuote(done));
      _exit(3);
    }
    int ws = 0;
    waitpid(pid, &ws, 0);
    ASSERT_TRUE(WIFSIGNALED(ws)) << sig;
    EXPECT_EQ(WTERMSIG(ws), sig);
    EXPECT_EQ(testkit::readFile(done), "x\n") << sig;
    ::unlink(done.c_str());
  }
  EXPECT_EQ(exitStatus(runShellHeld("kill -TERM $$; exit 0")), 128 + SIGTERM);
}

}  // namespace
}  // namespace dbc
