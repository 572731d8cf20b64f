#include "audit/checksum.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "audit/reader.hpp"
#include "testkit/datafile.hpp"

namespace dbc::audit {
namespace {

const unsigned char* bytesOf(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// The list a file gives, fed in blocks of `block` bytes the way jrnmake reads it.
std::string listOf(const std::string& file, std::size_t block = kBlockSize) {
  Output out;
  ChecksumMaker maker(out);
  for (std::size_t at = 0; at < file.size(); at += block)
    maker.processBlock(bytesOf(file) + at, std::min(block, file.size() - at));
  return out.text();
}

std::int64_t plainHash(const std::string& bytes) {
  std::uint64_t h = kChecksumStart;
  for (unsigned char c : bytes) h = h * 33 + c;
  return static_cast<std::int64_t>(h);
}

TEST(ChecksumTest, WorkedExampleAndSignedPrinting) {
  EXPECT_EQ(listOf("AB\xFA\xFB"), "0 5862120\n");
  // Past 13 bytes the 64-bit value wraps; it is printed as a signed number.
  EXPECT_EQ(listOf(testkit::DataFile().record("ABCDEFGHIJKLM").record("The quick brown fox").eof()),
            "0 -7604003781530576320\n14 -8521513411081405192\n");
}

TEST(ChecksumTest, WhichBytesCount) {
  // Deleted space inside a record is left out of the hash but still moves the positions on;
  // 0xFC..0xFE are data like any other byte; a stray end-of-file mark is left out too.
  EXPECT_EQ(listOf("A\xFF\xFF"
                   "B\xFA"
                   "C\xFA\xFB"),
            "0 5862120\n5 177640\n");
  EXPECT_EQ(listOf("\xFF\xFF"
                   "A\xFB"
                   "B\xFA"),
            "2 5862120\n");
  EXPECT_EQ(listOf("\xFC\xFD\xFE\xFA"), "0 193660028\n");
  EXPECT_EQ(listOf(""), "");
}

TEST(ChecksumTest, EmptyAndDeletedRecordsWriteNoLine) {
  // Every position is then written once, in strictly ascending order: a record deleted between
  // two lists shows as a removal, not as a repeated position with checksum 0.
  std::string file =
      testkit::DataFile().record("").record("AB").deleted(5).record("").record("C").eof();
  EXPECT_EQ(listOf(file), "1 5862120\n11 177640\n");
  // Bytes after the last mark are no record.
  EXPECT_EQ(listOf("AB\xFA"
                   "CD"),
            "0 5862120\n");
}

TEST(ChecksumTest, RecordsAcrossBlockBoundaries) {
  // 101-byte records do not divide the block: many records straddle a boundary, and a
  // boundary falls right before and right after a mark as well with 1- and 3-byte blocks.
  std::string file = testkit::fixedRecords(500, 100, 7);
  std::string expected;
  for (std::size_t k = 0; k < 500; ++k)
    expected +=
        std::to_string(k * 101) + " " + std::to_string(plainHash(file.substr(k * 101, 100))) + "\n";
  EXPECT_EQ(listOf(file), expected);
  EXPECT_EQ(listOf(file, 1), expected);
  EXPECT_EQ(listOf(file, 3), expected);
  // A record longer than a whole block.
  std::string big(kBlockSize * 2 + 17, 'x');
  EXPECT_EQ(listOf("\xFF" + big + "\xFA\xFB"), "1 " + std::to_string(plainHash(big)) + "\n");
}

}  // namespace
}  // namespace dbc::audit
