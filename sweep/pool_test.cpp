#include "sweep/pool.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace dbc::sweep {
namespace {

TEST(SweepPool, EachItemOnceAndNeverMoreThanJobsAtATime) {
  std::atomic<bool> stop{false};
  std::vector<int> seen(50, 0);
  std::atomic<int> now{0}, most{0};
  int ticks = 0;
  auto work = [&](std::size_t i) {
    int n = ++now;
    for (int m = most; n > m && !most.compare_exchange_weak(m, n);) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ++seen[i];
    --now;
  };
  EXPECT_EQ(runPool(
                seen.size(), 3, work, stop, [&] { ++ticks; }, 5),
            seen.size());
  for (int s : seen) EXPECT_EQ(s, 1);
  EXPECT_LE(most.load(), 3);
  EXPECT_GT(ticks, 0);
  EXPECT_EQ(runPool(0, 4, work, stop, [] {}), 0u);
}

TEST(SweepPool, NothingStartsAfterAStop) {
  std::atomic<bool> stop{false};
  std::atomic<int> started{0};
  auto work = [&](std::size_t) {
    if (++started == 2) stop = true;
  };
  EXPECT_EQ(runPool(100, 1, work, stop, [] {}), 2u);
  EXPECT_EQ(started.load(), 2);
}

}  // namespace
}  // namespace dbc::sweep
