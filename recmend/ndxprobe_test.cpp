#include "recmend/ndxprobe.hpp"

#include <gtest/gtest.h>

#include "testkit/files.hpp"

namespace dbc::recmend {
namespace {

TEST(Ndxprobe, FileNameIsTheLastNonEmptyComponent) {
  EXPECT_EQ(parse_filename("/qlon/data/SOH0001.TXT", "/"), "SOH0001.TXT");
  EXPECT_EQ(parse_filename("SOH0001.TXT", "/"), "SOH0001.TXT");
  EXPECT_EQ(parse_filename("a/b/", "/"), "b");
  EXPECT_EQ(parse_filename("a//b//", "/"), "b");
  EXPECT_EQ(parse_filename("///", "/"), "");
  EXPECT_EQ(parse_filename("", "/"), "");
  EXPECT_EQ(parse_filename("x:y/z", ":/"), "z");
}

TEST(Ndxprobe, CommandQuotesAnythingButAnOrdinaryName) {
  EXPECT_EQ(ndxprobe_command(NdxprobeVersion::kThree, "SOH0001.TXT"),
            "DBC NDXPROBE3 SOH0001.TXT ALL DUP");
  EXPECT_EQ(ndxprobe_command(NdxprobeVersion::kTwo, "a_b-c.d"), "DBC NDXPROBE2 a_b-c.d ALL DUP");
  EXPECT_EQ(ndxprobe_command(NdxprobeVersion::kOne, "A;rm -rf x"), "DBC NDXPROBE");
  EXPECT_EQ(ndxprobe_command(NdxprobeVersion::kThree, "A;B"), "DBC NDXPROBE3 'A;B' ALL DUP");
  EXPECT_EQ(ndxprobe_command(NdxprobeVersion::kThree, "it's $x"),
            "DBC NDXPROBE3 'it'\\''s $x' ALL DUP");
}

TEST(Ndxprobe, VersionFollowsTheInstalledProgramsUnderTheRoot) {
  testkit::TempDir dir;
  EXPECT_EQ(qlon_root(nullptr), "/qlon");
  EXPECT_EQ(qlon_root(""), "/qlon");
  EXPECT_EQ(qlon_root(dir.path().c_str()), dir.path());
  EXPECT_EQ(ndxprobe_version(dir.path()), NdxprobeVersion::kOne);
  dir.mkdir("src/cf");
  testkit::writeFile(dir.file("src/cf/NDXPROBE2.PRG"), "");
  EXPECT_EQ(ndxprobe_version(dir.path()), NdxprobeVersion::kTwo);
  testkit::writeFile(dir.file("src/cf/NDXPROBE3.PRG"), "");
  EXPECT_EQ(ndxprobe_version(dir.path()), NdxprobeVersion::kThree);
}

}  // namespace
}  // namespace dbc::recmend
