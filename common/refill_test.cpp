#include "common/refill.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/io.hpp"
#include "testkit/files.hpp"

namespace dbc {
namespace {

std::string held(const RefillReader& r) {
  return std::string(reinterpret_cast<const char*>(r.data()) + r.pos(), r.len() - r.pos());
}

// Takes everything through a small buffer, a few bytes at a time, leaving the rest for the
// next refill: what comes out must be the file, every byte once.
std::string drain(RefillReader& r, std::size_t step) {
  std::string got;
  for (;;) {
    std::size_t n = std::min(step, r.len() - r.pos());
    got += held(r).substr(0, n);
    r.take(n);
    if (r.pos() < r.len()) continue;
    ssize_t k = r.refill();
    EXPECT_GE(k, 0);
    if (k <= 0) return got;
  }
}

TEST(RefillReader, KeepsWhatWasNotTakenAndGrowsForIt) {
  testkit::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>('a' + i % 26);
  testkit::writeFile(dir.file("f"), bytes);
  Fd fd = openFile(dir.file("f"), O_RDONLY);
  RefillReader r(fd.get(), 7);
  EXPECT_EQ(drain(r, 3), bytes);
  EXPECT_TRUE(r.eof());
  EXPECT_EQ(r.refill(), 0);

  // Nothing taken: each refill keeps it all and the buffer doubles until the file is held whole.
  RefillReader whole(fd.get(), 7);
  while (whole.refill() > 0) {
  }
  EXPECT_EQ(held(whole), bytes);
}

TEST(RefillReader, AStretchOfTheFileAndSharedDescriptors) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("f"), "0123456789");
  Fd fd = openFile(dir.file("f"), O_RDONLY);
  RefillReader a(fd.get(), 4, 2, 7);
  RefillReader b(fd.get(), 4, 5);  // positioned reads: neither moves the other
  EXPECT_EQ(drain(a, 1), "23456");
  EXPECT_EQ(drain(b, 2), "56789");
  RefillReader s = RefillReader::sequential(fd.get(), 3);
  EXPECT_EQ(drain(s, 2), "0123456789");
}

TEST(RefillReader, APipeIsReadAsItComes) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  Fd r(p[0]), w(p[1]);
  ASSERT_TRUE(writeFull(w.get(), "through a pipe"));
  w.reset();
  RefillReader in(r.get(), 4);
  EXPECT_EQ(drain(in, 5), "through a pipe");
}

TEST(RefillReader, AReadErrorIsNoEnd) {
  testkit::TempDir dir;
  Fd d = openFile(dir.path(), O_RDONLY | O_DIRECTORY);
  RefillReader in(d.get(), 16);
  EXPECT_EQ(in.refill(), -1);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_FALSE(in.eof());
}

}  // namespace
}  // namespace dbc
