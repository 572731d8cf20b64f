#include "testkit/datafile.hpp"

#include <gtest/gtest.h>

namespace testkit {
namespace {

TEST(DataFile, BuildsTheBytesAsked) {
  DataFile f;
  f.record("12").compressed("     A").deleted(3).raw("A\xFF").byte(0xFA).eof();
  EXPECT_EQ(f.bytes(), std::string("12\xFA\xF9\x05"
                                   "A\xFA\xFF\xFF\xFF\xFA"
                                   "A\xFF\xFA\xFB"));
  EXPECT_EQ(textFile({"a", "b"}, true), "a\r\nb\r\n");
  std::string fixed = fixedRecords(3, 5, 1);
  EXPECT_EQ(fixed.size(), 19u);
  EXPECT_EQ(static_cast<unsigned char>(fixed[5]), 0xFA);
  EXPECT_EQ(fixedRecords(3, 5, 1), fixed);
}

}  // namespace
}  // namespace testkit
