#include "recscan/dmf.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testkit/files.hpp"

namespace recscan {
namespace {

TEST(Dmf, FileIdDropsTrailingDigitsOfSixAndSevenCharacterNames) {
  EXPECT_EQ(fileId("CUST01.TXT"), "CUST");
  EXPECT_EQ(fileId("CUSTOMER.TXT"), "CUSTOMER");
  EXPECT_EQ(fileId("AB12345.TXT"), "AB1");
  EXPECT_EQ(fileId("AB.TXT"), "AB");
  EXPECT_EQ(fileId("ABCD5X.TXT"), "ABCD5X");
  EXPECT_EQ(fileId("ABCDE1.X.Y"), "ABCDE");
  EXPECT_EQ(fileId("123456"), "12");
  EXPECT_EQ(fileId("CUST1.TXT"), "CUST1");
}

TEST(Dmf, FieldsOfTheKeptText) {
  Dmf d = dmfFields("ABCD00128Y\n");
  EXPECT_EQ(d.dmflen, 128);
  EXPECT_EQ(d.cmpflg1, 1);
  d = dmfFields("ABCD00128N\n");
  EXPECT_EQ(d.dmflen, 128);
  EXPECT_EQ(d.cmpflg1, 0);
  d = dmfFields("ABCD  64 y");
  EXPECT_EQ(d.dmflen, 64);
  EXPECT_EQ(d.cmpflg1, 0);
  d = dmfFields("ABCDx12\n");
  EXPECT_EQ(d.dmflen, 0);
  d = dmfFields("");
  EXPECT_EQ(d.dmflen, 0);
  EXPECT_EQ(d.cmpflg1, 0);
}

TEST(Dmf, CommandForOrdinaryAndHostileNames) {
  EXPECT_EQ(dmfCommand("CUST", "/qlon/dmf", "PD", "/tmp/42.pid"),
            "grep \"CUST\" /qlon/dmf/PD*.DMF 2>/dev/null | head -n 1 | cut -d: -f2 | "
            "cut -b 1-10 > /tmp/42.pid 2>/dev/null");
  EXPECT_EQ(dmfCommand("A\"B;$(x)`y`", "/my dir/dmf", "??", "/tmp/42.pid"),
            "grep -e 'A\"B;$(x)`y`' '/my dir/dmf/'??*.DMF 2>/dev/null | head -n 1 | "
            "cut -d: -f2 | cut -b 1-10 > /tmp/42.pid 2>/dev/null");
  EXPECT_EQ(dmfCommand("-v", "/q/dmf", "PD", "/tmp/1.pid").substr(0, 14), "grep -e '-v' /");
  EXPECT_EQ(dmfDir(nullptr), "/qlon/dmf");
  EXPECT_EQ(dmfDir(""), "/qlon/dmf");
  EXPECT_EQ(dmfDir("/opt/q"), "/opt/q/dmf");
}

TEST(Dmf, TempFileIsCreatedAfreshNeverThroughALink) {
  testkit::TempDir dir;
  const std::string tmp = dir.file("7.pid");
  const std::string victim = dir.file("victim");
  testkit::writeFile(victim, "precious");
  ASSERT_EQ(::symlink(victim.c_str(), tmp.c_str()), 0);
  ASSERT_TRUE(createTemp(tmp));
  EXPECT_EQ(testkit::readFile(victim), "precious");
  struct stat st;
  ASSERT_EQ(::lstat(tmp.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 0);

  // A name that cannot be cleared is reported, and nothing is written.
  const std::string blocked = dir.mkdir("8.pid/inside");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(createTemp(dir.file("8.pid")));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nError creating " + dir.file("8.pid") + "\n");
}

// Kept text that opens but cannot be read is no definition that says "not compressed".
TEST(Dmf, KeptTextThatCannotBeReadIsReportedAndLeavesCompressionUndefined) {
  testkit::TempDir dir;
  testkit::writeFile(dir.mkdir("dmf") + "/PD01.DMF", "\"CUST\":MIR 00028Y\n");
  const std::string tmp = dir.mkdir("9.pid");
  testing::internal::CaptureStdout();
  Dmf d = getdmf("CUST.TXT", dir.file("dmf"), tmp);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nError opening " + tmp + "\n");
  EXPECT_EQ(d.cmpflg1, -1);
  EXPECT_EQ(d.dmflen, 0);
}

}  // namespace
}  // namespace recscan
