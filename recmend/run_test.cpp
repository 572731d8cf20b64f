#include "recmend/run.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::recmend {
namespace {

using Commands = std::vector<std::string>;

TEST(RecmendRun, TheProbeFollowsTheRepairThroughTheShellWhateverBecameOfEither) {
  testkit::TempDir dir;
  dir.mkdir("qlon/src/cf");
  testkit::writeFile(dir.file("qlon/src/cf/NDXPROBE3.PRG"), "");
  std::string data = dir.mkdir("data") + "/SOH0001.TXT";
  testkit::writeFile(data, std::string("ab\0d\xFA", 5));
  {
    testkit::FakeContext fake;
    fake.env["QLON_ROOT"] = dir.file("qlon");
    fake.shell = [](const std::string&) { return 127 << 8; };  // no DBC on the path
    EXPECT_EQ(run({"-t", "-x", "-u", "-d", data, "-l", "5"}, fake.context()), 0);
    EXPECT_EQ(fake.commands, Commands{"DBC NDXPROBE3 SOH0001.TXT ALL DUP"});
    const std::string modes = "Zero-detection mode set.\nUpdate mode set.\n";
    EXPECT_EQ(fake.out.text(),
              modes + modes + "DATAFILE: " + data +
                  "\nSetting record size to: 5\n"
                  "Using fill character: ' ' (hex: 20; dec: 32).\n"
                  "Record: 0; Position: 0\n" +
                  "Changing '" + '\0' +
                  "' (hex: 0; dec: 0) to '\xFF' (hex: ff; dec: 255). Offset: 2\n"
                  "1 occurrences of 0x00 characters found.\n"
                  "File updated.\n"
                  "Number of invalid characters processed: 1\n"
                  "Rolling out the current NDXPROBE command: DBC NDXPROBE3 SOH0001.TXT ALL DUP\n");
    EXPECT_EQ(fake.err.text(), "");
    EXPECT_EQ(testkit::readFile(data), std::string("ab\xFF"
                                                   "d\xFA",
                                                   5));
  }
  // A repair that cannot open its file is followed by the probe all the same; without the
  // versioned programs under QLON_ROOT it is the plain one.
  testkit::FakeContext fake;
  fake.env["QLON_ROOT"] = dir.file("data");
  EXPECT_EQ(run({"-d", dir.file("missing"), "-l", "5", "-t"}, fake.context()), 0);
  EXPECT_EQ(fake.commands, Commands{"DBC NDXPROBE"});
  EXPECT_EQ(fake.err.text(), "ERROR: No such file or directory\n");
}

TEST(RecmendRun, NoRunStartsNothingAndEveryDecisionEndsWithStatusZero) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("F"), "ab\xFA");
  const std::vector<std::vector<std::string>> cases = {
      {"-d", dir.file("F"), "-l", "3"},           // a run without -t
      {"-t", "-uv"},                              // an error
      {"-t", "-h"},                               // the help text
      {"-t", "-d", dir.file("F")},                // a missing record size
      {"-t", "-d", dir.file("F"), "-l", "65502"}  // a record size too large
  };
  for (const auto& args : cases) {
    testkit::FakeContext fake;
    EXPECT_EQ(run(args, fake.context()), 0) << args[1];
    EXPECT_TRUE(fake.commands.empty()) << args[1];
    EXPECT_EQ(fake.err.text(), "") << args[1];
  }
  EXPECT_EQ(testkit::readFile(dir.file("F")), "ab\xFA");
}

}  // namespace
}  // namespace dbc::recmend
