#include "sweep/progress.hpp"

#include <gtest/gtest.h>

#include "testkit/capture.hpp"

namespace dbc::sweep {
namespace {

TEST(SweepProgress, FilesBytesElapsedAndTimeLeft) {
  EXPECT_EQ(progressLine({3, 40, 0, 1048576 * 10, 2}),
            "   3/40 files       0.0/10.0 MB  0:02 elapsed");
  // A quarter of the bytes in 30 s: 90 s to go.
  EXPECT_EQ(progressLine({10, 40, 1048576 * 25, 1048576 * 100, 30}),
            "  10/40 files      25.0/100.0 MB  0:30 elapsed  about 1:30 left");
  EXPECT_EQ(clockTime(3725), "1:02:05");
  EXPECT_EQ(clockTime(-1), "0:00");
}

TEST(SweepProgress, NeverIntoAPipeOrAFile) {
  testkit::Capture out;  // a memory stream is no terminal
  ProgressLine line(out.file());
  line.show({1, 2, 3, 4, 5});
  line.clear();
  EXPECT_EQ(out.text(), "");
}

}  // namespace
}  // namespace dbc::sweep
