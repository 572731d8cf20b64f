#include "common/format.hpp"

#include <gtest/gtest.h>

namespace dbc {
namespace {

TEST(Format, ByteClasses) {
  EXPECT_EQ(byteClass(0x00), ByteClass::kNull);
  for (int b : {0x01, 0x08, 0x0A, 0x0D, 0x13, 0x15, 0x1A, 0x1C, 0x1F}) {
    EXPECT_EQ(byteClass(b), ByteClass::kControl) << b;
    EXPECT_TRUE(isControlDamage(b));
  }
  for (int b : {0x09, 0x14, 0x1B, 0x20, 0x7E, 0x7F, 0xFC, 0xFD, 0xFE}) {
    EXPECT_EQ(byteClass(b), ByteClass::kData) << b;
  }
  EXPECT_EQ(byteClass(0x80), ByteClass::kHigh);
  EXPECT_EQ(byteClass(0xF8), ByteClass::kHigh);
  EXPECT_EQ(byteClass(0xF9), ByteClass::kSpaceRun);
  EXPECT_EQ(byteClass(0xFA), ByteClass::kRecordMark);
  EXPECT_EQ(byteClass(0xFB), ByteClass::kEofMark);
  EXPECT_EQ(byteClass(0xFF), ByteClass::kDeleted);
}

TEST(Format, PairTableBothWays) {
  EXPECT_EQ(pairCode('0', '0'), 0x80);
  EXPECT_EQ(pairCode('0', '.'), 0x8A);
  EXPECT_EQ(pairCode('1', '0'), 0x8B);
  EXPECT_EQ(pairCode('1', '1'), 0x8C);
  EXPECT_EQ(pairCode('.', '.'), 0xF8);
  for (int code = 0x80; code <= 0xF8; ++code) {
    PairChars p = pairChars(code);
    EXPECT_EQ(pairCode(p.first, p.second), code);
  }
  EXPECT_EQ(pairIndex('a'), -1);
}

}  // namespace
}  // namespace dbc
