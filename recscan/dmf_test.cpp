#include "recscan/dmf.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testkit/capture.hpp"
#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::recscan {
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
  EXPECT_EQ(d.cmpflg1, Compression::kConfigured);
  d = dmfFields("ABCD00128N\n");
  EXPECT_EQ(d.dmflen, 128);
  EXPECT_EQ(d.cmpflg1, Compression::kNotConfigured);
  d = dmfFields("ABCD  64 y");
  EXPECT_EQ(d.dmflen, 64);
  EXPECT_EQ(d.cmpflg1, Compression::kNotConfigured);
  d = dmfFields("ABCDx12\n");
  EXPECT_EQ(d.dmflen, 0);
  d = dmfFields("");
  EXPECT_EQ(d.dmflen, 0);
  EXPECT_EQ(d.cmpflg1, Compression::kNotConfigured);
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
  testkit::Capture out;
  ASSERT_TRUE(createTemp(tmp, out.file()));
  EXPECT_EQ(testkit::readFile(victim), "precious");
  struct stat st;
  ASSERT_EQ(::lstat(tmp.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 0);

  // A name that cannot be cleared is reported, and nothing is written.
  const std::string blocked = dir.mkdir("8.pid/inside");
  EXPECT_FALSE(createTemp(dir.file("8.pid"), out.file()));
  EXPECT_EQ(out.text(), "\nError creating " + dir.file("8.pid") + "\n");
}

// A definition only in files other than PD*: the first pass keeps nothing, the second finds it.
TEST(Dmf, SecondPassSearchesEveryDefinitionFile) {
  testkit::TempDir dir;
  const std::string tmp = dir.file("9.pid");
  testkit::FakeContext fake;
  fake.shell = [&](const std::string& command) {
    testkit::writeFile(tmp, command.find("/??*.DMF") != std::string::npos ? "MIR 00128Y\n" : "");
    return 0;
  };
  Dmf d = getdmf("CUST01.TXT", "/q/dmf", tmp, fake.context());
  EXPECT_EQ(d.cmpflg1, Compression::kConfigured);
  EXPECT_EQ(d.dmflen, 128);
  EXPECT_EQ(fake.commands, (std::vector<std::string>{dmfCommand("CUST", "/q/dmf", "PD", tmp),
                                                     dmfCommand("CUST", "/q/dmf", "??", tmp)}));
  EXPECT_EQ(fake.out.text(), "");
}

// Kept text that opens but cannot be read is no definition that says "not compressed".
TEST(Dmf, KeptTextThatCannotBeReadIsReportedAndLeavesCompressionUndefined) {
  testkit::TempDir dir;
  const std::string tmp = dir.mkdir("9.pid");
  testkit::FakeContext fake;
  Dmf d = getdmf("CUST.TXT", dir.file("dmf"), tmp, fake.context());
  EXPECT_EQ(fake.out.text(), "\nError opening " + tmp + "\n");
  EXPECT_EQ(fake.commands.size(), 2u);
  EXPECT_EQ(d.cmpflg1, Compression::kUndefined);
  EXPECT_EQ(d.dmflen, 0);
}

}  // namespace
}  // namespace dbc::recscan
