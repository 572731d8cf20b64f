#include "audit/checksum.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

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

// The list as the byte-at-a-time walk gives it.
std::string plainList(const std::string& file) {
  std::string list;
  std::int64_t recpos = -1;
  bool recflg = false;
  std::uint64_t chksum = 0;
  for (std::size_t filpos = 0; filpos < file.size(); ++filpos) {
    auto byte = static_cast<unsigned char>(file[filpos]);
    if (byte == 0xFB || byte == 0xFF) continue;
    if (byte == 0xFA) {
      if (recflg)
        list += std::to_string(recpos) + " " + std::to_string(std::int64_t(chksum)) + "\n";
      recflg = false;
      continue;
    }
    if (!recflg) {
      recpos = static_cast<std::int64_t>(filpos);
      recflg = true;
      chksum = kChecksumStart;
    }
    chksum = djb2Step(chksum, byte);
  }
  return list;
}

TEST(ChecksumTest, EveryWayOfWalkingEqualsTheByteLoop) {
  // Records of every length up to a few vectors, marks, deleted runs and stray end marks in any
  // place, read in blocks of any size: every way of hashing spans, with every way of writing
  // lines, agrees with the plain walk.
  std::vector<std::pair<SpanHasher, ChecksumLinesWriter>> ways = {
      {hashSpanScalar, writeChecksumLinesScalar}, {bestSpanHasher(), bestChecksumLinesWriter()}};
#if defined(DBC_X86_VECTORS)
  ways.emplace_back(hashSpanSse2, writeChecksumLinesSse2);
  if (hasAvx2()) ways.emplace_back(hashSpanAvx2, writeChecksumLinesAvx2);
#endif
  std::mt19937_64 rng(1209);
  for (int round = 0; round < 300; ++round) {
    std::string file;
    while (file.size() < 6000) {
      std::size_t len = rng() % (round % 2 ? 140 : 600);
      for (std::size_t i = 0; i < len; ++i) {
        unsigned r = rng() % 1000;
        file += static_cast<char>(r < 3 ? 0xFF : r < 5 ? 0xFB : r < 7 ? 0xFA : rng() % 250);
      }
      file += rng() % 8 == 0 ? std::string(rng() % 40, '\xFF') + "\xFA" : "\xFA";
    }
    const std::string expected = plainList(file);
    std::size_t block = 1 + rng() % 5000;
    for (const auto& [span, write] : ways) {
      Output out;
      ChecksumMaker maker(out, span, write);
      for (std::size_t at = 0; at < file.size(); at += block)
        maker.processBlock(bytesOf(file) + at, std::min(block, file.size() - at));
      ASSERT_EQ(out.text(), expected) << "round " << round << " block " << block;
    }
  }
}

}  // namespace
}  // namespace dbc::audit
