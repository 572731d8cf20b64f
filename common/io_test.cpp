#include "common/io.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "testkit/files.hpp"

namespace dbc {
namespace {

TEST(Io, FullAndPositionedReadsAndWrites) {
  testkit::TempDir dir;
  std::string p = dir.file("f");
  Fd fd = openFile(p, O_RDWR | O_CREAT, 0600);
  ASSERT_TRUE(fd.valid());
  ASSERT_TRUE(writeFull(fd.get(), "hello world"));
  ASSERT_TRUE(pwriteFull(fd.get(), "W", 1, 6));
  char buf[32];
  EXPECT_EQ(preadFull(fd.get(), buf, sizeof buf, 0), 11);
  EXPECT_EQ(std::string(buf, 11), "hello World");
  EXPECT_EQ(preadFull(fd.get(), buf, 4, 100), 0);  // past the end
  std::size_t done = 99;
  EXPECT_EQ(preadFull(fd.get(), buf, sizeof buf, 3, &done), 8);
  EXPECT_EQ(done, 8u);
  EXPECT_TRUE(fd.close());
  EXPECT_FALSE(fd.valid());
  EXPECT_EQ(testkit::readFile(p), "hello World");
}

TEST(Io, ReadsFromAPipeUntilTheCountOrTheEnd) {
  int pfd[2];
  ASSERT_EQ(pipe(pfd), 0);
  Fd r(pfd[0]), w(pfd[1]);
  ASSERT_TRUE(writeFull(w.get(), "abc"));
  ASSERT_TRUE(writeFull(w.get(), "def"));
  w.reset();
  char buf[16];
  EXPECT_EQ(readFull(r.get(), buf, 4), 4);
  EXPECT_EQ(readFull(r.get(), buf, 16), 2);
}

TEST(Io, FailedWriteIsReported) {
  Fd full = openFile("/dev/full", O_WRONLY);
  if (!full) GTEST_SKIP() << "no /dev/full";
  errno = 0;
  EXPECT_FALSE(writeFull(full.get(), "x"));
  EXPECT_EQ(errno, ENOSPC);
  Fd ro = openFile("/dev/null", O_RDONLY);
  std::size_t done = 99;
  EXPECT_FALSE(pwriteFull(ro.get(), "x", 1, 0, &done));
  EXPECT_EQ(done, 0u);  // what a caller reports as written
}

TEST(Io, FdMovesOwnership) {
  Fd a = openFile("/dev/null", O_RDONLY);
  int raw = a.get();
  Fd b = std::move(a);
  EXPECT_FALSE(a.valid());
  EXPECT_EQ(b.get(), raw);
  EXPECT_NE(fcntl(raw, F_GETFD) & FD_CLOEXEC, 0);
}

}  // namespace
}  // namespace dbc
