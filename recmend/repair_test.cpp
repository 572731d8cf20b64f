#include "recmend/repair.hpp"

#include <gtest/gtest.h>

#include <random>

#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::recmend {
namespace {

TEST(Repair, ReadErrorInADetectionRunIsReportedNotPassedOffAsTheEnd) {
  // Reading this process's memory at offset 0 fails with an I/O error.
  Settings s;
  s.DATAFILE = "/proc/self/mem";
  s.RECORD_SIZE = 11;
  s.ZERO_DETECTION_FLAG = true;
  testkit::FakeContext fake;
  if (access(s.DATAFILE.c_str(), R_OK | W_OK) != 0) GTEST_SKIP() << "no /proc/self/mem";
  EXPECT_EQ(process_file(s, fake.context()), Result::kOk);
  EXPECT_EQ(fake.out.text(), "Number of invalid characters processed: 0\n");
  EXPECT_EQ(fake.err.text(),
            "ERROR: 0 bytes of 11 read.\nAn unknown error interrupted read!\n"
            "ERROR: Input/output error\n");
}

TEST(Repair, DetectionRunCrossesReadChunksAndRepairsEveryRecord) {
  // Enough records for several reads of the file, a damaged one on each side of a chunk edge.
  const std::size_t size = 1000, count = 700;
  std::string bytes;
  for (std::size_t k = 0; k < count; ++k) {
    bytes += std::string(size - 1, 'q');
    bytes.push_back(static_cast<char>(END_OF_RECORD));
  }
  const std::size_t perChunk = DETECTION_CHUNK / size;
  for (std::size_t k : {std::size_t{0}, perChunk - 1, perChunk, count - 1}) {
    bytes[k * size + 3] = '\x01';
  }
  testkit::TempDir dir;
  testkit::writeFile(dir.file("F"), bytes);
  Settings s;
  s.DATAFILE = dir.file("F");
  s.RECORD_SIZE = size;
  s.FULL_DETECTION_FLAG = true;
  s.UPDATE_FLAG = true;
  testkit::FakeContext fake;
  EXPECT_EQ(process_file(s, fake.context()), Result::kOk);
  std::string expected;
  for (std::size_t k : {std::size_t{0}, perChunk - 1, perChunk, count - 1}) {
    expected += "Record: " + std::to_string(k) + "; Position: " + std::to_string(k * size) +
                "\nChanging '\x01' (hex: 1; dec: 1) to ' ' (hex: 20; dec: 32). Offset: 3\n"
                "File updated.\n";
    bytes[k * size + 3] = ' ';
  }
  expected += "Number of invalid characters processed: 4\n";
  EXPECT_EQ(fake.out.text(), expected);
  EXPECT_EQ(fake.err.text(), "");
  EXPECT_EQ(testkit::readFile(dir.file("F")), bytes);
}

TEST(Repair, ListLinesAreReadInPiecesOf1023Characters) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("F"), std::string(22, 'r'));
  // 1023 zeros fill one read; the rest of the line is a line of its own.
  testkit::writeFile(dir.file("L"),
                     std::string(1023, '0') + "11\n" + std::string(1023, '1') + "\n");
  Settings s;
  s.DATAFILE = dir.file("F");
  s.INPUTFILE = dir.file("L");
  s.RECORD_SIZE = 11;
  testkit::FakeContext fake;
  EXPECT_EQ(process_file(s, fake.context()), Result::kFailed);
  EXPECT_EQ(fake.out.text(),
            "Record position: 0\nRecord position: 11\n"
            "Record position: 9223372036854775807\n"
            "Input file position (\n) is invalid.\n"
            "Number of invalid characters processed: 0\n");
}

}  // namespace
}  // namespace dbc::recmend
