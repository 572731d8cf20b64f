#include "seqnext/counter.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include "common/io.hpp"
#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::seqnext {
namespace {

TEST(NextField, ReadsTheFieldAsAtoiDoes) {
  EXPECT_EQ(*nextField("         9"), "        10");
  EXPECT_EQ(*nextField("          "), "         1");
  EXPECT_EQ(*nextField("\t 42xyz   "), "        43");
  EXPECT_EQ(*nextField("abc       "), "         1");
  EXPECT_EQ(*nextField("  -5      "), "        -4");
  EXPECT_EQ(*nextField("-999999999"), "-999999998");
  EXPECT_EQ(*nextField("+7"), "         8");
}

TEST(NextField, CountsInSixtyFourBitsUpToTheFieldWidth) {
  EXPECT_EQ(*nextField("2147483647"), "2147483648");
  EXPECT_EQ(*nextField("4294967295"), "4294967296");
  EXPECT_EQ(*nextField("9999999998"), "9999999999");
  EXPECT_FALSE(nextField("9999999999"));
}

class TakeNumber : public ::testing::Test {
 protected:
  Fd counter(std::string_view bytes) {
    testkit::writeFile(path, bytes);
    return openFile(path, O_RDWR);
  }
  Taken take(int fd) {
    Taken t = takeNumber(fd, fake.context());
    printed = fake.out.text();
    return t;
  }
  bool lockable() {
    Fd other = openFile(path, O_RDWR);
    return ::flock(other.get(), LOCK_EX | LOCK_NB) == 0;
  }

  testkit::TempDir dir;
  std::string path = dir.file("SERIAL.TXT");
  testkit::FakeContext fake;
  std::string printed;
};

TEST_F(TakeNumber, WritesTheFieldBackAndLeavesTheRestAlone) {
  Fd fd = counter("         9 last used by payroll\n");
  Taken t = take(fd.get());
  EXPECT_EQ(t.outcome, Outcome::kNumber);
  EXPECT_EQ(t.field, "        10");
  EXPECT_EQ(printed, "");
  EXPECT_TRUE(fake.sleeps.empty());
  EXPECT_FALSE(lockable());  // held until the caller closes the file
  fd.close();
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "        10 last used by payroll\n");
}

TEST_F(TakeNumber, NulEndsTheNumber) {
  using namespace std::string_literals;
  Fd fd = counter(
      "12\0"
      "345678\0\0tail"s);
  EXPECT_EQ(take(fd.get()).field, "        13");
  fd.close();
  EXPECT_EQ(testkit::readFile(path), "        13\0tail"s);
}

TEST_F(TakeNumber, ShortFileIsLeftAloneAndUnlocked) {
  Fd fd = counter("        9");
  EXPECT_EQ(take(fd.get()).outcome, Outcome::kShort);
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "        9");
}

TEST_F(TakeNumber, ReadFailureIsNoShortFile) {
  counter("         1\n");
  Fd writeOnly = openFile(path, O_WRONLY);  // pread fails with EBADF
  EXPECT_EQ(take(writeOnly.get()).outcome, Outcome::kReadFailed);
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "         1\n");
}

TEST_F(TakeNumber, OverflowIsRefusedAndLeavesTheFileUnchanged) {
  Fd fd = counter("9999999999\n");
  EXPECT_EQ(take(fd.get()).outcome, Outcome::kOverflow);
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "9999999999\n");
}

TEST_F(TakeNumber, GivesUpAfterTenAttemptsWhileAnotherHoldsTheLock) {
  Fd fd = counter("         1\n");
  Fd holder = openFile(path, O_RDWR);
  ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(take(fd.get()).outcome, Outcome::kNoLock);
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += "sleep\n";
  EXPECT_EQ(printed, ten);
  EXPECT_EQ(fake.sleeps, std::vector<unsigned>(10, 100000));  // a second at most, in tenths
  EXPECT_EQ(testkit::readFile(path), "         1\n");
}

TEST_F(TakeNumber, WriteFailureIsReportedNotHandedOut) {
  counter("         1\n");
  Fd readOnly = openFile(path, O_RDONLY);  // pwrite fails with EBADF
  EXPECT_EQ(take(readOnly.get()).outcome, Outcome::kWriteFailed);
  EXPECT_EQ(testkit::readFile(path), "         1\n");
  EXPECT_TRUE(lockable());
}

}  // namespace
}  // namespace dbc::seqnext
