#include "common/signals.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "common/standard.hpp"
#include "testkit/files.hpp"

namespace dbc {
namespace {

// Runs `body` in a child process (signals and descriptors are process-wide) and returns its wait
// status.
template <typename F>
int inChild(F body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  int ws = 0;
  waitpid(pid, &ws, 0);
  return ws;
}

void touch(const std::string& p) { close(open(p.c_str(), O_WRONLY | O_CREAT, 0600)); }
bool exists(const std::string& p) { return access(p.c_str(), F_OK) == 0; }

TEST(Signals, ATerminatingSignalRemovesWhatIsRegisteredAndKillsWithThatSignal) {
  testkit::TempDir dir;
  std::string tmp = dir.file("part"), kept = dir.file("kept"), released = dir.file("done");
  for (int sig : {SIGHUP, SIGINT, SIGTERM}) {
    int ws = inChild([&] {
      touch(tmp), touch(kept), touch(released);
      RemoveOnSignal a(tmp);
      RemoveOnSignal b(released);
      b.release();
      raise(sig);
      _exit(3);  // not reached
    });
    ASSERT_TRUE(WIFSIGNALED(ws)) << sig;
    EXPECT_EQ(WTERMSIG(ws), sig);
    EXPECT_FALSE(exists(tmp));
    EXPECT_TRUE(exists(kept));
    EXPECT_TRUE(exists(released));
  }
}

TEST(Signals, AnIgnoredSignalStaysIgnored) {
  testkit::TempDir dir;
  std::string tmp = dir.file("part");
  int ws = inChild([&] {
    signal(SIGHUP, SIG_IGN);
    touch(tmp);
    RemoveOnSignal a(tmp);
    raise(SIGHUP);
    _exit(7);
  });
  ASSERT_TRUE(WIFEXITED(ws));
  EXPECT_EQ(WEXITSTATUS(ws), 7);
  EXPECT_TRUE(exists(tmp));
}

TEST(Signals, AHeldSignalWaitsForTheStepToComplete) {
  testkit::TempDir dir;
  std::string tmp = dir.file("work"), step = dir.file("step"), after = dir.file("after");
  int ws = inChild([&] {
    touch(tmp);
    RemoveOnSignal a(tmp);
    {
      SignalsHeld held;
      raise(SIGTERM);
      touch(step);  // the step goes on to its end
    }
    touch(after);  // never: the signal takes effect as the hold ends
    _exit(0);
  });
  ASSERT_TRUE(WIFSIGNALED(ws));
  EXPECT_EQ(WTERMSIG(ws), SIGTERM);
  EXPECT_TRUE(exists(step));
  EXPECT_FALSE(exists(after));
  EXPECT_FALSE(exists(tmp));
}

// A mapped file cut short by another process: touching its lost pages ends the program with the
// guard's message and status 1, its registered temporaries removed. Touching a page it still has
// is no fault, and without a guard, or once it is gone, the bus error is the crash it always was.
TEST(Signals, ABusErrorInAGuardedMappingEndsWithTheMessage) {
  testkit::TempDir dir;
  const std::string data = dir.file("data"), tmp = dir.file("part");
  const std::string page(4096, 'x');
  auto cutShortAndTouch = [&](bool guarded) {
    touch(tmp);
    RemoveOnSignal r(tmp);
    testkit::writeFile(data, page + page);
    int fd = open(data.c_str(), O_RDONLY);
    auto* p = static_cast<volatile const char*>(
        mmap(nullptr, 2 * page.size(), PROT_READ, MAP_PRIVATE, fd, 0));
    if (guarded) {
      BusErrorGuard guard(const_cast<const char*>(p), 2 * page.size(), "cut short\n");
      if (!guard.armed()) _exit(3);
      if (truncate(data.c_str(), 4096) != 0 || p[0] != 'x') _exit(4);
      volatile char c = p[4096];
      (void)c;
      _exit(5);
    }
    if (truncate(data.c_str(), 4096) != 0) _exit(4);
    volatile char c = p[4096];
    (void)c;
  };
  const std::string err = dir.file("err");
  auto inChildSaying = [&](auto body) {
    return inChild([&] {
      dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
      body();
    });
  };
  int ws = inChildSaying([&] { cutShortAndTouch(true); });
  EXPECT_EQ(testkit::readFile(err), "cut short\n");
  ASSERT_TRUE(WIFEXITED(ws));
  EXPECT_EQ(WEXITSTATUS(ws), 1);
  EXPECT_FALSE(exists(tmp));
  // The crash it always was: killed by the signal, or under a sanitizer its report and status.
  auto crashed = [&](int status) {
    EXPECT_TRUE(WIFSIGNALED(status)
                    ? WTERMSIG(status) == SIGBUS
                    : WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 5);
    EXPECT_EQ(testkit::readFile(err).find("cut short"), std::string::npos);
    EXPECT_EQ(testkit::readFile(err).find("wrong"), std::string::npos);
    EXPECT_TRUE(exists(tmp));
  };
  crashed(inChildSaying([&] { cutShortAndTouch(false); }));
  // A bus error outside the guarded stretch is not taken for the guarded file's.
  crashed(inChildSaying([&] {
    char other;
    BusErrorGuard guard(&other, 1, "wrong\n");
    cutShortAndTouch(false);
  }));
}

TEST(StandardDescriptors, ClosedOnesAreOpenedOnDevNullBeforeAnyFile) {
  testkit::TempDir dir;
  std::string data = dir.file("data");
  touch(data);
  int ws = inChild([&] {
    close(0), close(1), close(2);
    if (!openStandardDescriptors()) _exit(2);
    int fd = open(data.c_str(), O_RDWR);
    // The data file must not take a standard number, or a report would be written into it.
    if (fd <= 2) _exit(1);
    std::printf("report\n");
    std::fflush(stdout);
    _exit(0);
  });
  ASSERT_TRUE(WIFEXITED(ws));
  EXPECT_EQ(WEXITSTATUS(ws), 0);
  EXPECT_EQ(testkit::readFile(data), "");
}

TEST(StandardOutput, ALostReportIsSaidOnStandardErrorAndTurnsTheStatus) {
  testkit::TempDir dir;
  std::string err = dir.file("err");
  for (OutputFailure failure : {OutputFailure::kStatus1, OutputFailure::kMessageOnly}) {
    int ws = inChild([&] {
      int full = open("/dev/full", O_WRONLY);
      int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(full, 1), dup2(e, 2);
      std::printf("summary line\n");
      _exit(finishStandardOutput("prog", 0, failure));
    });
    ASSERT_TRUE(WIFEXITED(ws));
    EXPECT_EQ(WEXITSTATUS(ws), failure == OutputFailure::kStatus1 ? 1 : 0);
    EXPECT_EQ(testkit::readFile(err),
              "prog: write error on standard output: No space left on device\n");
  }
  int ws = inChild([&] {
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1), dup2(e, 2);
    std::printf("fine\n");
    _exit(finishStandardOutput("prog", 4));
  });
  EXPECT_EQ(WEXITSTATUS(ws), 4);
  EXPECT_EQ(testkit::readFile(err), "");
}

}  // namespace
}  // namespace dbc
