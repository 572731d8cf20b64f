#include "sweep/workarea.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "testkit/files.hpp"

namespace dbc::sweep {
namespace {

TEST(SweepWorkArea, TheVolumeAsIxmark3TakesItThenTmpdir) {
  std::map<std::string, std::string> vars;
  EnvLookup env = [&](const char* n) -> const char* {
    auto it = vars.find(n);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
  Config config(kDbcConfig, env);
  EXPECT_EQ(workVolume(config, env), "/tmp");
  vars["TMPDIR"] = "/var/tmp";
  EXPECT_EQ(workVolume(config, env), "/var/tmp");
  vars["dbcdx.file.vol.wrk="] = "/w1;/w2";
  EXPECT_EQ(workVolume(config, env), "/w1");
  vars["NDXPROBE_WRK"] = "/probe";
  EXPECT_EQ(workVolume(config, env), "/probe");
}

TEST(SweepWorkArea, OneFolderPerCheckAllGoneAtTheEnd) {
  testkit::TempDir dir;
  std::string error, root;
  {
    std::optional<WorkArea> area = WorkArea::create(dir.path(), error);
    ASSERT_TRUE(area) << error;
    root = area->root();
    EXPECT_EQ(root.rfind(dir.path() + "/dbcsweep.", 0), 0u);
    const std::string one = area->jobFolder(1), two = area->jobFolder(2);
    ASSERT_FALSE(one.empty());
    EXPECT_NE(one, two);
    EXPECT_TRUE(area->jobFolder(1).empty());  // never shared
    testkit::writeFile(one + "/CUST.TAG", "x");
    dir.mkdir(two.substr(dir.path().size() + 1) + "/deeper");
    ASSERT_EQ(::symlink(dir.path().c_str(), (two + "/up").c_str()), 0);
    testkit::writeFile(dir.file("keep"), "mine");
  }
  EXPECT_FALSE(testkit::exists(root));
  EXPECT_EQ(testkit::readFile(dir.file("keep")), "mine");  // a link in it was not followed
  EXPECT_FALSE(WorkArea::create(dir.file("nowhere"), error));
  EXPECT_NE(error.find("nowhere"), std::string::npos);
}

}  // namespace
}  // namespace dbc::sweep
