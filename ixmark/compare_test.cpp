#include "ixmark/compare.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/format.hpp"
#include "common/stop.hpp"
#include "testkit/capture.hpp"
#include "testkit/files.hpp"

namespace dbc::ixmark {
namespace {

std::vector<std::string> readSorted(const std::string& bytes, bool ichflg = false) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("s"), bytes);
  testkit::Capture out;
  CompressedSorted sorted(openFile(dir.file("s"), O_RDONLY), ichflg, out.file());
  std::vector<std::string> tags;
  std::string b;
  while (sorted.getsrt(b) >= 0) tags.push_back(b);
  return tags;
}

using Tags = std::vector<std::string>;

TEST(CompressedSorted, DecodingRules) {
  // Pairs and runs; a control character is a space; 0xFF and bytes that are no character give
  // nothing; a newline ends a tag too; empty records are passed over.
  EXPECT_EQ(readSorted("\xF9\x03\x8B\x9A"
                       "A\x01"
                       "B\xFF\xFC\xFA\xFA"
                       "C\nD\xFA\xFB"),
            (Tags{"   1024A B", "C", "D"}));
  // With ichrs the pair codes are characters of their own.
  EXPECT_EQ(readSorted("\x8B\xE0\xFA\xFB", true), (Tags{"\x8B\xE0"}));
  // The count after a run marker is a count even where it looks like a mark.
  EXPECT_EQ(readSorted("A\xF9\xFA"
                       "B\xFA\xFB"),
            (Tags{"A" + std::string(250, ' ') + "B"}));
}

TEST(CompressedSorted, EndsOfTheFile) {
  // Nothing after the end mark is read.
  EXPECT_EQ(readSorted("A\xFA\xFB"
                       "B\xFA"),
            (Tags{"A"}));
  // Without the mark the file ends with its bytes, and a tag cut short there still counts; so
  // does one the end mark cuts short.
  EXPECT_EQ(readSorted("A\xFA"
                       "B"),
            (Tags{"A", "B"}));
  EXPECT_EQ(readSorted("A\xFA"
                       "B\xFB"),
            (Tags{"A", "B"}));
  // A run marker with no count left stands for nothing.
  EXPECT_EQ(readSorted("A\xFA"
                       "B\xF9"),
            (Tags{"A", "B"}));
  EXPECT_EQ(readSorted(""), Tags{});
  EXPECT_EQ(readSorted("\xFB"), Tags{});
}

// Far more tags than one read holds, and one longer than the whole buffer, so that marks, run
// counts and pairs fall on every kind of read boundary.
TEST(CompressedSorted, TagsAcrossReads) {
  std::mt19937 gen(8122026);
  const char alphabet[] = "     0123456789.ABZ";
  Tags want;
  std::string bytes;
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    std::size_t n = i == 7000 ? 200000 : 1 + gen() % 60;
    for (std::size_t k = 0; k < n; ++k) text += alphabet[gen() % (sizeof alphabet - 1)];
    if (text.find_first_not_of(' ') == std::string::npos) text[0] = 'X';
    bytes += encodeRecord(text, false) + "\xFA";
    want.push_back(text);
  }
  Tags got = readSorted(bytes + "\xFB");
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "tag " << i;
}

// A sorted file whose reads fail (a folder stands in for a failing disk) stops the run with its
// name; the failure never passes for the end of the tags.
TEST(SortedReaders, ReadErrorsStopTheRun) {
  testkit::TempDir dir;
  const std::string folder = dir.mkdir("X.SRT");
  std::string b;
  testkit::Capture out;
  CompressedSorted compressed(openFile(folder, O_RDONLY), false, out.file(), 1 << 16, folder);
  EXPECT_THROW(compressed.getsrt(b), Stop);
  std::FILE* f = std::fopen(folder.c_str(), "r");
  ASSERT_NE(f, nullptr);
  TextSorted text(f, 41, out.file(), folder);
  EXPECT_THROW(text.read(b), Stop);
  const std::string said = "\nError reading " + folder + " \n";
  EXPECT_EQ(out.text(), said + said);
}

}  // namespace
}  // namespace dbc::ixmark
