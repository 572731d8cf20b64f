#include "ixmark/prefetch.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/codec.hpp"
#include "common/stop.hpp"
#include "testkit/capture.hpp"
#include "testkit/files.hpp"

namespace dbc::ixmark {
namespace {

// A sorted file of `n` tags, some of them empty records that the readers pass over, a few
// without their end mark.
std::string sortedFile(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes;
  for (std::size_t i = 0; i < n; ++i) {
    if (gen() % 50 == 0) bytes += '\xFA';  // an empty record
    std::string text = std::to_string(gen()) + "   " + std::string(gen() % 30, 'K') + "12.5";
    bytes += encodeRecord(text, false) + (gen() % 2 ? "\xFA" : "\n");
  }
  return bytes + "\xFB";
}

template <typename Reader>
std::vector<std::string> readAll(Reader& r) {
  std::vector<std::string> tags;
  std::string b = "left over";
  while (r.getsrt(b) >= 0) tags.push_back(b);
  EXPECT_EQ(b, "");
  EXPECT_EQ(r.getsrt(b), -1);  // and stays at the end
  return tags;
}

// The tags read ahead on a thread are the tags read in turn, whatever the number of batches.
TEST(PrefetchedTags, SameTagsAsTheReaderItRunsAhead) {
  for (std::size_t n : {0, 1, 4095, 4096, 4097, 30000}) {
    SCOPED_TRACE(n);
    testkit::TempDir dir;
    testkit::writeFile(dir.file("s"), sortedFile(n, static_cast<unsigned>(n)));
    testkit::Capture out;
    CompressedSorted direct(openFile(dir.file("s"), O_RDONLY), false, out.file());
    PrefetchedTags ahead(openFile(dir.file("s"), O_RDONLY), false, out.file(), dir.file("s"));
    const auto want = readAll(direct);
    EXPECT_EQ(readAll(ahead), want);
    EXPECT_EQ(want.size(), n);
    EXPECT_EQ(out.text(), "");
  }
}

// A read error is said, and stops the run, when the comparison comes to it, not before.
TEST(PrefetchedTags, ReadErrorSaidWhenItsTurnComes) {
  testkit::TempDir dir;
  const std::string folder = dir.mkdir("X.SRT");
  testkit::Capture out;
  PrefetchedTags ahead(openFile(folder, O_RDONLY), false, out.file(), folder);
  std::fputs("before", out.file());
  std::string b;
  EXPECT_THROW(ahead.getsrt(b), Stop);
  EXPECT_EQ(out.text(), "before\nError reading " + folder + " \n");
}

// A run that stops part way (a damaged data file) ends the reading thread wherever it is.
TEST(PrefetchedTags, StoppedPartWay) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("s"), sortedFile(50000, 3));
  testkit::Capture out;
  for (int taken : {0, 1, 5000}) {
    PrefetchedTags ahead(openFile(dir.file("s"), O_RDONLY), false, out.file(), dir.file("s"));
    std::string b;
    for (int i = 0; i < taken; ++i) ASSERT_GE(ahead.getsrt(b), 0);
  }
  EXPECT_EQ(out.text(), "");
}

}  // namespace
}  // namespace dbc::ixmark
