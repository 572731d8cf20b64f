#include "pageconv/run.hpp"

#include <gtest/gtest.h>

#include "common/stop.hpp"
#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::pageconv {
namespace {

TEST(PageconvRun, UsageFailuresAndADocument) {
  testkit::TempDir dir;
  {
    testkit::FakeContext fake;
    EXPECT_EQ(run({"only-one"}, fake.context()), 1);
    EXPECT_EQ(fake.out.text(),
              "\nConvert Print to RTF - Nov 21, 2012\nFormat: pageconv infile outfile\n");
  }
  {
    testkit::FakeContext fake;
    EXPECT_THROW(run({dir.file("missing"), dir.file("out.rtf")}, fake.context()), Stop);
    EXPECT_EQ(fake.out.text(), "Error openning " + dir.file("missing") + " \n");
  }
  testkit::writeFile(dir.file("p.prn"), "HELLO\n");
  testkit::FakeContext fake;
  EXPECT_EQ(run({dir.file("p.prn"), dir.file("p.rtf")}, fake.context()), 0);
  EXPECT_EQ(fake.out.text(), "");
  std::string rtf = testkit::readFile(dir.file("p.rtf"));
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0", 0), 0u);
  EXPECT_NE(rtf.find("HELLO"), std::string::npos);
  EXPECT_TRUE(fake.commands.empty());  // pageconv starts nothing
}

}  // namespace
}  // namespace dbc::pageconv
