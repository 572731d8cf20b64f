#include "common/opnfil.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "testkit/capture.hpp"
#include "testkit/files.hpp"

namespace dbc {
namespace {

class OpnfilTest : public ::testing::Test {
 protected:
  OpnfilTest() { ::chdir(dir.path().c_str()); }
  ~OpnfilTest() override { ::chdir("/"); }

  Config config(ConfigVariant v = kDbcConfig) {
    return Config(
        v,
        [this](const char* name) -> const char* {
          auto it = vars.find(name);
          return it == vars.end() ? nullptr : it->second.c_str();
        },
        trace.file());
  }
  void settings(const testkit::Settings& s) {
    vars["DBC_CFG"] = dir.file("dbc.cfg");
    testkit::writeConfig(vars["DBC_CFG"], s);
  }
  std::string make(const std::string& rel) {
    std::string p = dir.file(rel);
    testkit::writeFile(p, "x");
    return p;
  }
  Opened open(std::string_view name, const OpnfilVariant& v) {
    return opnfil(name, "TXT", v, config(v.dotFallback ? kRecscanConfig : kDbcConfig));
  }

  testkit::TempDir dir;
  std::map<std::string, std::string> vars;
  testkit::Capture trace;  // the paths the ixmark variant tries
};

TEST_F(OpnfilTest, BareNameFallsBackToCurrentFolderInRecscanOnly) {
  make("CUST.TXT");
  Opened o = open("CUST", kRecscanOpen);
  EXPECT_TRUE(o.fd.valid());
  EXPECT_EQ(o.name, "CUST.TXT");
  EXPECT_EQ(o.fulnam, "./CUST.TXT");
  EXPECT_FALSE(open("CUST", kSeqnextOpen).fd.valid());
  EXPECT_FALSE(open("CUST", kIxmarkOpen).fd.valid());
}

TEST_F(OpnfilTest, ExtensionRules) {
  make("CUST.TXT");
  make("CUST.DAT.OLD");
  EXPECT_EQ(open("CUST.", kRecscanOpen).fulnam, "./CUST.TXT");
  Opened two = open("CUST.DAT.OLD", kRecscanOpen);
  EXPECT_TRUE(two.fd.valid());
  EXPECT_EQ(two.name, "CUST.DAT.OLD");
  EXPECT_EQ(open("CUST.X Y", kRecscanOpen).name, "CUST.X");  // the extension ends at a space
  settings({{"dbcdx.file.open", dir.path()}});
  Opened ix = open("CUST.DAT", kIxmarkOpen);  // the default replaces a written extension
  EXPECT_TRUE(ix.fd.valid());
  EXPECT_EQ(ix.fulnam, dir.path() + "/CUST.TXT");
}

TEST_F(OpnfilTest, SearchPathIsWalkedInOrderUpToAnEmptyElement) {
  std::string a = dir.mkdir("a"), b = dir.mkdir("b"), c = dir.mkdir("c");
  make("b/F.TXT");
  settings({{"dbcdx.file.open", a + ";" + b + ";" + c}});
  Opened o = open("F", kIxmarkOpen);
  EXPECT_EQ(trace.text(), a + "/F.TXT\n" + b + "/F.TXT\n");
  EXPECT_TRUE(o.fd.valid());
  EXPECT_EQ(o.fulnam, b + "/F.TXT");

  settings({{"dbcdx.file.open", a + ";;" + b}});
  Opened none = open("F", kSeqnextOpen);
  EXPECT_FALSE(none.fd.valid());
  EXPECT_EQ(none.fulnam, a + "/F.TXT");  // the last path tried

  settings({{"dbcdx.file.open", ";" + b}});
  EXPECT_EQ(open("F", kRecscanOpen).fulnam, "");  // nothing tried
}

TEST_F(OpnfilTest, VolumesAndDirectories) {
  std::string v1 = dir.mkdir("v1"), v2 = dir.mkdir("v2"), other = dir.mkdir("other");
  make("v2/F.TXT");
  make("other/F.TXT");
  settings({{"dbcdx.file.vol.database", other},
            {"dbcdx.file.vol.data", v1 + ";" + v2},
            {"dbcdx.file.open", other}});
  Opened o = open("F:data extra", kSeqnextOpen);
  EXPECT_TRUE(o.fd.valid());
  EXPECT_EQ(o.fulnam, v2 + "/F.TXT");
  // An unconfigured volume: the search path applies.
  EXPECT_EQ(open("F:nosuch", kSeqnextOpen).fulnam, other + "/F.TXT");
  // A directory part replaces the volume and the search path.
  EXPECT_EQ(open(v1 + "/F:data", kRecscanOpen).fulnam, v1 + "/F.TXT");
  EXPECT_FALSE(open(v1 + "/F:data", kRecscanOpen).fd.valid());
  Opened rs = open(v2 + "/F.TXT", kRecscanOpen);
  EXPECT_TRUE(rs.fd.valid());
  EXPECT_EQ(rs.name, "F.TXT");
}

TEST_F(OpnfilTest, LeadingSlashOnlyIsNotADirectory) {
  make("F.TXT");
  Opened o = open("/F", kRecscanOpen);
  EXPECT_TRUE(o.fd.valid());
  EXPECT_EQ(o.fulnam, ".//F.TXT");
}

TEST_F(OpnfilTest, ReadOnlyFileIsNotFoundForReadWrite) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may open any file";
  std::string p = make("RO.TXT");
  ::chmod(p.c_str(), 0444);
  EXPECT_FALSE(open("RO", kRecscanOpen).fd.valid());
  settings({{"dbcdx.file.open", dir.path()}});
  EXPECT_TRUE(open("RO", kIxmarkOpen).fd.valid());
}

// Root may write any file, but not a directory: a place that cannot be opened in the program's
// mode is passed over, and the walk goes on.
TEST_F(OpnfilTest, PlaceThatCannotBeOpenedInTheModeIsPassedOver) {
  std::string a = dir.mkdir("a"), b = dir.mkdir("b");
  dir.mkdir("a/F.TXT");
  make("b/F.TXT");
  settings({{"dbcdx.file.open", a + ";" + b}});
  EXPECT_EQ(open("F", kSeqnextOpen).fulnam, b + "/F.TXT");
  EXPECT_EQ(open("F", kRecscanOpen).fulnam, b + "/F.TXT");
}

TEST_F(OpnfilTest, NeverCreatesAndHoldsLongNamesWhole) {
  std::string longName(300, 'N');
  Opened o = open(longName, kRecscanOpen);
  EXPECT_FALSE(o.fd.valid());
  EXPECT_EQ(o.fulnam, "./" + longName + ".TXT");
  EXPECT_FALSE(testkit::exists(dir.file(longName + ".TXT")));
}

}  // namespace
}  // namespace dbc
