#include "audit/merge.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>

#include "common/io.hpp"
#include "testkit/files.hpp"

namespace dbc::audit {
namespace {

std::string join(const std::string& first, const std::string& second) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("a"), first);
  testkit::writeFile(dir.file("b"), second);
  dbc::Fd fa = dbc::openFile(dir.file("a"), O_RDONLY);
  dbc::Fd fb = dbc::openFile(dir.file("b"), O_RDONLY);
  const Failure failure{"test", stdout, stderr};
  LineReader a(fa.get(), "a", failure), b(fb.get(), "b", failure);
  Output out;
  Joiner(a, b, out).run();
  return out.text();
}

TEST(MergeTest, ChangesAdditionsAndRemovals) {
  EXPECT_EQ(join("0 5\n10 7\n", "0 5\n10 7\n"), "");
  EXPECT_EQ(join("0 5\n10 7\n", "0 5\n10 8\n20 9\n"), "210\n310\n120\n");
  EXPECT_EQ(join("0 5\n10 7\n", "10 7\n"), "40\n");
  EXPECT_EQ(join("", "0 1\n5 2\n9 3\n"), "10\n15\n19\n");
  EXPECT_EQ(join("0 1\n5 2\n", ""), "40\n45\n");
  EXPECT_EQ(join("", ""), "");
  // Interleaved: removals and additions come out in position order.
  EXPECT_EQ(join("0 1\n4 1\n8 1\n12 1\n", "2 1\n4 9\n10 1\n12 1\n14 1\n"),
            "40\n12\n24\n34\n48\n110\n114\n");
  // Negative checksums and large positions compare as signed 64-bit numbers.
  EXPECT_EQ(
      join("-1 -5\n9000000000 -9223372036854775808\n", "-1 -5\n9000000000 9223372036854775807\n"),
      "29000000000\n39000000000\n");
}

TEST(MergeTest, LinesThatDoNotParseKeepThePreviousValues) {
  // The blank line repeats (10, 7), which the second list has already passed.
  EXPECT_EQ(join("0 5\n10 7\n\n", "0 5\n10 7\n20 1\n"), "410\n120\n");
  // A line of one number takes the position only.
  EXPECT_EQ(join("0 5\n10\n", "0 5\n10 5\n"), "");
  // A line too long for one read comes back as two lines, the second of them unparsable.
  EXPECT_EQ(join("0 5" + std::string(80, ' ') + "\n", "0 5\n"), "40\n");
}

}  // namespace
}  // namespace dbc::audit
