#include "common/framing.hpp"

#include <gtest/gtest.h>

#include <string>

namespace dbc {
namespace {

RecordEnd endOf(const std::string& bytes, std::size_t from = 0) {
  return findRecordEnd(reinterpret_cast<const unsigned char*>(bytes.data()), from, bytes.size());
}

TEST(Framing, EachTerminatorEndsTheRecord) {
  for (std::string t : {"\xFA", "\xFB", "\n"}) {
    RecordEnd e = endOf("AB\x8C" + t + "CD\xFA");
    EXPECT_TRUE(e.found);
    EXPECT_EQ(e.at, 3u);
  }
  EXPECT_EQ(endOf("AB\xFA"
                  "CD\xFA",
                  3)
                .at,
            5u);
}

TEST(Framing, ARunCountIsNeverATerminator) {
  // Counts of 10 (a line feed), 250 and 251 (the marks) and the marker itself as a count.
  for (char count : {'\n', '\xFA', '\xFB', '\xF9'}) {
    std::string rec = std::string("A\xF9") + count + "B\xFA";
    RecordEnd e = endOf(rec);
    EXPECT_TRUE(e.found) << int(count);
    EXPECT_EQ(e.at, 4u) << int(count);
  }
}

TEST(Framing, BytesRunningOutSayWhereToResume) {
  RecordEnd e = endOf("ABC");
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.at, 3u);
  // A marker whose count is still to come: the search must see it again with its count.
  e = endOf("AB\xF9");
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.at, 2u);
  e = endOf("AB\xF9\xFA");  // the count is there: the record goes on
  EXPECT_FALSE(e.found);
  EXPECT_EQ(e.at, 4u);
}

}  // namespace
}  // namespace dbc
