#include "seqnext/counter.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include "common/io.hpp"
#include "testkit/files.hpp"

namespace seqnext {
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
  dbc::Fd counter(std::string_view bytes) {
    testkit::writeFile(path, bytes);
    return dbc::openFile(path, O_RDWR);
  }
  Taken take(int fd) {
    std::FILE* out = open_memstream(&text, &size);
    Taken t = takeNumber(fd, out, 0);
    std::fclose(out);
    printed.assign(text, size);
    std::free(text);
    return t;
  }
  bool lockable() {
    dbc::Fd other = dbc::openFile(path, O_RDWR);
    return ::flock(other.get(), LOCK_EX | LOCK_NB) == 0;
  }

  testkit::TempDir dir;
  std::string path = dir.file("SERIAL.TXT");
  char* text = nullptr;
  std::size_t size = 0;
  std::string printed;
};

TEST_F(TakeNumber, WritesTheFieldBackAndLeavesTheRestAlone) {
  dbc::Fd fd = counter("         9 last used by payroll\n");
  Taken t = take(fd.get());
  EXPECT_EQ(t.outcome, Outcome::kNumber);
  EXPECT_EQ(t.field, "        10");
  EXPECT_EQ(printed, "");
  EXPECT_FALSE(lockable());  // held until the caller closes the file
  fd.close();
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "        10 last used by payroll\n");
}

TEST_F(TakeNumber, NulEndsTheNumber) {
  using namespace std::string_literals;
  dbc::Fd fd = counter(
      "12\0"
      "345678\0\0tail"s);
  EXPECT_EQ(take(fd.get()).field, "        13");
  fd.close();
  EXPECT_EQ(testkit::readFile(path), "        13\0tail"s);
}

TEST_F(TakeNumber, ShortFileIsLeftAloneAndUnlocked) {
  dbc::Fd fd = counter("        9");
  EXPECT_EQ(take(fd.get()).outcome, Outcome::kShort);
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "        9");
}

TEST_F(TakeNumber, ReadFailureIsNoShortFile) {
  counter("         1\n");
  dbc::Fd writeOnly = dbc::openFile(path, O_WRONLY);  // pread fails with EBADF
  EXPECT_EQ(take(writeOnly.get()).outcome, Outcome::kReadFailed);
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "         1\n");
}

TEST_F(TakeNumber, OverflowIsRefusedAndLeavesTheFileUnchanged) {
  dbc::Fd fd = counter("9999999999\n");
  EXPECT_EQ(take(fd.get()).outcome, Outcome::kOverflow);
  EXPECT_TRUE(lockable());
  EXPECT_EQ(testkit::readFile(path), "9999999999\n");
}

TEST_F(TakeNumber, GivesUpAfterTenAttemptsWhileAnotherHoldsTheLock) {
  dbc::Fd fd = counter("         1\n");
  dbc::Fd holder = dbc::openFile(path, O_RDWR);
  ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(take(fd.get()).outcome, Outcome::kNoLock);
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += "sleep\n";
  EXPECT_EQ(printed, ten);
  EXPECT_EQ(testkit::readFile(path), "         1\n");
}

TEST_F(TakeNumber, WriteFailureIsReportedNotHandedOut) {
  counter("         1\n");
  dbc::Fd readOnly = dbc::openFile(path, O_RDONLY);  // pwrite fails with EBADF
  EXPECT_EQ(take(readOnly.get()).outcome, Outcome::kWriteFailed);
  EXPECT_EQ(testkit::readFile(path), "         1\n");
  EXPECT_TRUE(lockable());
}

}  // namespace
}  // namespace seqnext
