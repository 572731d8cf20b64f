#include "common/config.hpp"

#include <gtest/gtest.h>

#include <map>

#include "testkit/capture.hpp"
#include "testkit/files.hpp"

namespace dbc {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  // An environment the test owns, never the process's.
  EnvLookup env() {
    return [this](const char* name) -> const char* {
      auto it = vars.find(name);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  }
  std::string cfgFile(const std::string& text) {
    std::string p = dir.file("dbc.cfg");
    testkit::writeFile(p, text);
    vars["DBC_CFG"] = p;
    return p;
  }
  std::string lookup(std::string_view key, ConfigVariant v = kDbcConfig) {
    return Config(v, env(), out.file()).getenv2(key);
  }
  // What the look-ups reported since the last call.
  std::string said() {
    std::string s = out.text();
    std::string news = s.substr(seen_);
    seen_ = s.size();
    return news;
  }

  testkit::TempDir dir;
  std::map<std::string, std::string> vars;
  testkit::Capture out;

 private:
  std::size_t seen_ = 0;
};

TEST_F(ConfigTest, EnvironmentWinsEvenWhenEmpty) {
  cfgFile("dbcdx.file.ichrs=on\n");
  EXPECT_EQ(lookup("dbcdx.file.ichrs"), "on");
  vars["dbcdx.file.ichrs"] = "";
  EXPECT_EQ(lookup("dbcdx.file.ichrs"), "");
  vars["dbcdx.file.ichrs"] = "off";
  EXPECT_EQ(lookup("dbcdx.file.ichrs"), "off");
}

TEST_F(ConfigTest, LeadingSpacesSkippedButNotTabs) {
  cfgFile("   dbcdx.file.open=/a;/b\n");
  EXPECT_EQ(lookup("dbcdx.file.open"), "/a;/b");
  cfgFile("\tdbcdx.file.open=/a;/b\n");
  EXPECT_EQ(lookup("dbcdx.file.open"), "");
}

TEST_F(ConfigTest, PrefixMatchesUnlessKeyEndsInEquals) {
  cfgFile("dbcdx.file.openx=/x\ndbcdx.file.open=/y\n");
  EXPECT_EQ(lookup("dbcdx.file.open"), "/x");
  cfgFile("dbcdx.file.vol.database=/db\ndbcdx.file.vol.data=/d1;/d2\n");
  EXPECT_EQ(lookup("dbcdx.file.vol.data="), "/d1;/d2");
  EXPECT_EQ(lookup("dbcdx.file.vol.dat="), "");
}

TEST_F(ConfigTest, ValueKeepsLeadingBlanksAndCarriageReturnLosesTrailingBlanks) {
  cfgFile("a= v1 \t \nb=v2\r\nc\nd=\n");
  EXPECT_EQ(lookup("a"), " v1");
  EXPECT_EQ(lookup("b"), "v2\r");
  EXPECT_EQ(lookup("c"), "");  // a key line without '='
  EXPECT_EQ(lookup("d"), "");
}

TEST_F(ConfigTest, FirstMatchWinsAndLastLineWithoutNewlineIsNeverMatched) {
  cfgFile("k=1\nk=2\n");
  EXPECT_EQ(lookup("k"), "1");
  cfgFile("x=1\nk=2");
  EXPECT_EQ(lookup("k"), "");
  EXPECT_EQ(lookup("x"), "1");
}

TEST_F(ConfigTest, LongLinesComeBackInPiecesOf1000) {
  // The second piece of a 1500-character line is a line of its own and can match.
  std::string line = "pad=" + std::string(996, 'x') + "k=tail";
  cfgFile(line + "\n");
  EXPECT_EQ(lookup("k"), "tail");
  EXPECT_EQ(lookup("pad"), std::string(996, 'x'));

  std::string p = dir.file("long");
  testkit::writeFile(p, std::string(1500, 'y') + "\n");
  std::FILE* f = std::fopen(p.c_str(), "r");
  char buf[kLineMax + 1];
  getlin2(f, buf);
  EXPECT_EQ(std::string(buf).size(), 1000u);
  getlin2(f, buf);
  EXPECT_EQ(std::string(buf).size(), 500u);
  EXPECT_FALSE(std::feof(f));
  getlin2(f, buf);
  EXPECT_TRUE(std::feof(f));
  std::fclose(f);
}

TEST_F(ConfigTest, WhichFileIsConsulted) {
  std::string envfile = dir.file("env");
  testkit::writeFile(envfile, "k=fromenvfile\n");
  vars["DBC_ENVFILE"] = envfile;
  EXPECT_EQ(lookup("k", kRecscanConfig), "fromenvfile");
  EXPECT_EQ(lookup("k", kDbcConfig), "");

  // DBC_CFG set but empty counts as set: the open fails, and recscan does not fall back.
  vars["DBC_CFG"] = "";
  EXPECT_EQ(lookup("k", kRecscanConfig), "");
  EXPECT_EQ(said(), "\nError: Unable to open:  \n");
}

TEST_F(ConfigTest, UnreadableFileIsReportedAndCountsAsNotConfigured) {
  vars["DBC_CFG"] = dir.file("missing.cfg");
  EXPECT_EQ(lookup("k"), "");
  EXPECT_EQ(said(), "\nError: Unable to open: " + dir.file("missing.cfg") + " \n");
}

// A file that opens but fails every read never reaches its end; it must not be read forever.
TEST_F(ConfigTest, FileThatCannotBeReadIsReportedLikeOneThatCannotBeOpened) {
  for (const std::string& cfg : {dir.path(), std::string("/proc/self/mem")}) {
    vars["DBC_CFG"] = cfg;
    EXPECT_EQ(lookup("k"), "");
    EXPECT_EQ(said(), "\nError: Unable to open: " + cfg + " \n");
  }
  // The environment file recscan falls back on, the same way.
  vars.erase("DBC_CFG");
  vars["DBC_ENVFILE"] = dir.path();
  EXPECT_EQ(lookup("k", kRecscanConfig), "");
  EXPECT_EQ(said(), "\nError: Unable to open: " + dir.path() + " \n");

  std::FILE* f = std::fopen(dir.path().c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[kLineMax + 1];
  getlin2(f, buf);
  EXPECT_STREQ(buf, "");
  EXPECT_TRUE(std::ferror(f));
  EXPECT_FALSE(std::feof(f));
  std::fclose(f);
}

TEST_F(ConfigTest, ChangesToTheFileAreSeenByTheNextLookup) {
  cfgFile("k=1\n");
  Config c(kDbcConfig, env());
  EXPECT_EQ(c.getenv2("k"), "1");
  cfgFile("k=2\n");
  EXPECT_EQ(c.getenv2("k"), "2");
}

TEST(ProcessEnv, NamesWithEqualsAreNeverVariables) {
  ::setenv("DBCTEST_VOL", "=x", 1);
  EXPECT_EQ(processEnv("DBCTEST_VOL="), nullptr);
  EXPECT_STREQ(processEnv("DBCTEST_VOL"), "=x");
  ::unsetenv("DBCTEST_VOL");
}

TEST(ListWalk, ElementsUpToTheEndThenEmpty) {
  ListWalk w;
  EXPECT_EQ(w.parse("/a;/b"), "/a");
  EXPECT_EQ(w.parse(nullptr), "/b");
  EXPECT_EQ(w.parse(nullptr), "");
  EXPECT_EQ(w.parse(nullptr), "");
  EXPECT_EQ(w.parse("/a;;/b"), "/a");
  EXPECT_EQ(w.parse(nullptr), "");
  EXPECT_EQ(w.parse(nullptr), "/b");
  EXPECT_EQ(w.parse(" x ;y"), " x ");  // blanks stay part of an element
  EXPECT_EQ(w.parse("z"), "z");        // a new list restarts the walk
  EXPECT_EQ(w.parse(nullptr), "");
  std::string longList = std::string(500, 'd') + ";e";
  EXPECT_EQ(w.parse(longList.c_str()).size(), 500u);
  EXPECT_EQ(w.parse(nullptr), "e");
}

}  // namespace
}  // namespace dbc
