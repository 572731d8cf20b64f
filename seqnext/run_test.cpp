#include "seqnext/run.hpp"

#include <gtest/gtest.h>

#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::seqnext {
namespace {

TEST(SeqnextRun, FindsSerialThroughTheContextsConfiguration) {
  testkit::TempDir dir;
  testkit::writeFile(dir.mkdir("data") + "/SERIAL.TXT", "        41\n");
  testkit::writeConfig(dir.file("dbc.cfg"), {{"dbcdx.file.open", dir.file("data")}});
  testkit::FakeContext fake;
  fake.env["DBC_CFG"] = dir.file("dbc.cfg");
  EXPECT_EQ(run({}, fake.context()), 0);
  EXPECT_EQ(fake.out.text(), "        42\n");
  EXPECT_EQ(testkit::readFile(dir.file("data/SERIAL.TXT")), "        42\n");

  testkit::FakeContext bare;  // no configuration: nowhere to look
  EXPECT_EQ(run({}, bare.context()), 1);
  EXPECT_EQ(bare.out.text(), "Error opening SERIAL.TXT\n");
}

}  // namespace
}  // namespace dbc::seqnext
