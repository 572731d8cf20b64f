#include "sweep/jobcontext.hpp"

#include <gtest/gtest.h>

#include "testkit/files.hpp"

namespace dbc::sweep {
namespace {

TEST(SweepJobContext, EachSortGetsItsShareOfTheBudget) {
  EXPECT_EQ(sortMemoryPerJob("64M", 4), std::to_string(16 << 20));
  EXPECT_EQ(sortMemoryPerJob(nullptr, 2), std::to_string(128 << 20));  // DBCSORT's default
  EXPECT_EQ(sortMemoryPerJob("", 1), std::to_string(256 << 20));
  EXPECT_EQ(sortMemoryPerJob("20K", 8), std::to_string(16 << 10));  // never below its least
  EXPECT_EQ(sortMemoryPerJob("lots", 2), "lots");  // for DBCSORT to refuse in its own words
  // The cores shared among the jobs, unless the administrator chose.
  EXPECT_EQ(sortThreadsPerJob(nullptr, 2, 16), "8");
  EXPECT_EQ(sortThreadsPerJob("", 4, 2), "1");
  EXPECT_EQ(sortThreadsPerJob("3", 2, 16), "3");
}

TEST(SweepJobContext, ItsOwnWorkFolderOutputAndCommandEnvironment) {
  testkit::TempDir dir;
  Children children;
  JobContext job(dir.path(), children, {"1048576", "2"});
  Context& c = job.context();
  EXPECT_EQ(std::string(c.getenv("NDXPROBE_WRK")), dir.path());
  c.shell("echo \"$TMPDIR $DBCSORT_MEMORY $DBCSORT_THREADS\" > " + dir.file("env"));
  EXPECT_EQ(testkit::readFile(dir.file("env")), dir.path() + " 1048576 2\n");
  EXPECT_EQ(job.lastLine(), "");
  EXPECT_EQ(job.failedCommand(), 0);
  c.shell("exit 127");
  EXPECT_EQ(job.failedCommand(), 127);
  std::fprintf(c.out, "NDXPROBE_WRK found %s\n\r     10000\r     20000\rError opening CUST \n\n",
               dir.path().c_str());
  EXPECT_EQ(job.lastLine(), "Error opening CUST");
}

}  // namespace
}  // namespace dbc::sweep
