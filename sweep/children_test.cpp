#include "sweep/children.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "testkit/files.hpp"

namespace dbc::sweep {
namespace {

TEST(SweepChildren, TheOverridesReachTheCommandAndItsStatusComesBack) {
  testkit::TempDir dir;
  Children children;
  const std::string out = dir.file("out");
  int st = children.run("echo \"$TMPDIR $DBCSORT_MEMORY\" > '" + out + "'; exit 3",
                        {"TMPDIR=/job/7", "DBCSORT_MEMORY=64M"});
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 3);
  EXPECT_EQ(testkit::readFile(out), "/job/7 64M\n");
  EXPECT_FALSE(children.busy());
}

TEST(SweepChildren, AStopEndsWhatRunsAndWhatItStartedAndStartsNothingMore) {
  testkit::TempDir dir;
  Children children;
  const std::string mark = dir.file("grandchild-lived");
  int st = 0;
  auto start = std::chrono::steady_clock::now();
  std::thread t([&] { st = children.run("sleep 30 & wait; touch '" + mark + "'", {}); });
  while (!children.busy()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  children.stopAll(SIGTERM);
  t.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(WIFSIGNALED(st));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(testkit::exists(mark));
  EXPECT_EQ(children.run("true", {}), -1);
}

}  // namespace
}  // namespace dbc::sweep
