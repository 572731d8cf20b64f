#include "ixmark/collate.hpp"

#include <gtest/gtest.h>

namespace dbc::ixmark {
namespace {

TEST(Collate, Table) {
  Collate off;
  EXPECT_FALSE(off.active());
  EXPECT_EQ(off.colrtn('a'), 'a');

  Collate one("97:65");
  EXPECT_TRUE(one.active());
  EXPECT_EQ(one.colcnt(), 1);
  EXPECT_EQ(one.colrtn('a'), 'A');
  EXPECT_EQ(one.colrtn('b'), 'b');

  // A trailing semicolon adds no entry; a later entry for the same code wins; leading spaces
  // are read as atoi reads them.
  Collate c("97:65; 98:66;97:90;");
  EXPECT_EQ(c.colcnt(), 3);
  EXPECT_EQ(c.colrtn('a'), 'Z');
  EXPECT_EQ(c.colrtn('b'), 'B');

  // Entries without a colon or beyond a byte are skipped.
  Collate bad("65;300:1;66:999;67:68");
  EXPECT_EQ(bad.colcnt(), 1);
  EXPECT_EQ(bad.colrtn('C'), 'D');
  EXPECT_EQ(bad.colrtn('B'), 'B');
}

}  // namespace
}  // namespace dbc::ixmark
