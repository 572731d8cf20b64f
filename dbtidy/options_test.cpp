#include "dbtidy/options.hpp"

#include <gtest/gtest.h>

#include "common/stop.hpp"
#include "testkit/capture.hpp"

namespace dbc::dbtidy {
namespace {

using Words = std::vector<std::string>;

TEST(SplitOpts, EverySpaceEndsAWord) {
  EXPECT_EQ(splitOpts("-U -K"), (Words{"-U", "-K"}));
  EXPECT_EQ(splitOpts("-U  -K"), (Words{"-U", "", "-K"}));
  EXPECT_EQ(splitOpts(" -U "), (Words{"", "-U", ""}));
  EXPECT_EQ(splitOpts(""), (Words{""}));
  EXPECT_EQ(splitOpts("-U\t-K"), (Words{"-U\t-K"}));
}

TEST(Getopts, EveryOptionAndItsAcknowledgement) {
  Settings s;
  testkit::Capture cap;
  Words w = {"dbtidy", "in",  "out", "-overwrite", "-i3", "-w",  "-c", "-l",
             "-2",     "-T8", "-d4", "-Fwork",     "-kx", "-kv", "-v"};
  EXPECT_EQ(getopts(w, s, cap.file()), 0);
  EXPECT_EQ(cap.text(),
            "Overwrite Enabled\n"
            "  3 Spaces per Indentation\n"
            "Tabs will be inserted following verbs\n"
            "Compiler directives will be indented\n"
            "Labels will not be split from code \n"
            "Loop style 2\n"
            "  8 Spaces per Tabstop\n"
            "  4 Tabstops between label and data declaration or verb\n"
            "Work file name : work \n"
            "Kill DEBUG statements\n"
            "Kill DEBUG statements - VERBOSE\n"
            "Verbose Mode\n");
  EXPECT_EQ(s.up_in_place, UpdateMode::kOutputFile);
  EXPECT_TRUE(s.ovrwrit);
  EXPECT_EQ(s.ininc, 3);
  EXPECT_EQ(s.tabstop, 8);
  EXPECT_EQ(s.ntabs, 4);
  EXPECT_FALSE(s.spcswt);
  EXPECT_TRUE(s.cmpdir);
  EXPECT_TRUE(s.lblsplit);
  EXPECT_TRUE(s.loopswt);
  EXPECT_EQ(s.wkfname, "work");
  EXPECT_EQ(s.kill_dbg, KillDebug::kReport);
  EXPECT_TRUE(s.verbose);
}

TEST(Getopts, EveryBadWordIsReportedAndValuesKept) {
  Settings s;
  testkit::Capture cap;
  Words w = {"dbtidy", "in", "-x", "-I0", "foo", "-", "-T 12abc", "-D-2", "-Ix", "-I7"};
  EXPECT_EQ(getopts(w, s, cap.file()), 1);
  EXPECT_EQ(cap.text(),
            "\n\nOption /x  -  is not defined\n\n"
            "\n\nInvalid format for /I option\n\n"
            "\n\nOption /foo  -  is not defined\n\n"
            "\n\nOption /  -  is not defined\n\n"
            " 12 Spaces per Tabstop\n"
            "\n\nInvalid format for /D option\n\n"
            "\n\nInvalid format for /I option\n\n"
            "  7 Spaces per Indentation\n");
  EXPECT_EQ(s.ininc, 7);
  EXPECT_EQ(s.ntabs, 3);
  EXPECT_EQ(s.up_in_place, UpdateMode::kInPlace);
}

TEST(Getopts, HugeNumbersAreHeldNotWrapped) {
  Settings s;
  testkit::Capture cap;
  EXPECT_EQ(getopts({"dbtidy", "in", "-I99999999999999999999"}, s, cap.file()), 0);
  EXPECT_EQ(s.ininc, 2147483647);
  EXPECT_EQ(getopts({"dbtidy", "in", "-I-99999999999999999999"}, s, cap.file()), 1);
}

TEST(Getopts, UpdateInPlaceConflictStopsAtOnce) {
  Settings s;
  testkit::Capture cap;
  try {
    getopts({"dbtidy", "in", "out", "-U", "-x"}, s, cap.file());
    FAIL() << "no stop";
  } catch (const dbc::Stop& stop) {
    EXPECT_EQ(stop.status, 1);
  }
  EXPECT_EQ(cap.text(), "Inconsistant Options, Update in place / output file\n\n");
  Settings t;
  EXPECT_EQ(getopts({"dbtidy", "in", "-U", "-u"}, t, cap.file()), 0);
  EXPECT_EQ(t.up_in_place, UpdateMode::kInPlace);
}

TEST(Getopts, EnvironmentNoticeAndEmptyWordAsOutput) {
  Settings s;
  s.envopt = true;
  testkit::Capture cap;
  EXPECT_EQ(getopts({"dbtidy", "in", "", "-K"}, s, cap.file()), 0);
  EXPECT_EQ(cap.text(),
            "DBTIDY_OPTS will be used in addition to command line options\n"
            "Kill DEBUG statements\n");
  EXPECT_EQ(s.up_in_place, UpdateMode::kOutputFile);
}

}  // namespace
}  // namespace dbc::dbtidy
