#include "sweep/discover.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace dbc::sweep {
namespace {

class SweepDiscover : public ::testing::Test {
 protected:
  EnvLookup env() {
    return [this](const char* name) -> const char* {
      auto it = env_.find(name);
      return it == env_.end() ? nullptr : it->second.c_str();
    };
  }
  std::vector<Target> files(Only only = Only::kAll) {
    std::vector<Target> t;
    std::string error;
    EXPECT_TRUE(filesIn(dir_.path(), only, t, error)) << error;
    std::sort(t.begin(), t.end(), [](const Target& a, const Target& b) { return a.path < b.path; });
    return t;
  }
  testkit::TempDir dir_;
  std::map<std::string, std::string> env_;
};

TEST_F(SweepDiscover, SearchPathThenEveryVolumeOfFileAndEnvironmentEachFolderOnce) {
  const std::string a = dir_.mkdir("a"), b = dir_.mkdir("b"), c = dir_.mkdir("c");
  ASSERT_EQ(::symlink(a.c_str(), dir_.file("link-to-a").c_str()), 0);
  testkit::writeConfig(dir_.file("dbc.cfg"),
                       {{"dbcdx.file.open", a + ";" + b + ";;" + c},  // c after the empty element
                        {"  dbcdx.file.vol.sales", dir_.file("link-to-a") + ";" + c},
                        {"dbcdx.file.vol.gone", dir_.file("nowhere")},
                        {"dbcdx.file.vol.wrk", b}});
  env_["DBC_CFG"] = dir_.file("dbc.cfg");
  env_["dbcdx.file.vol.extra"] = dir_.file("extra");  // a volume of the environment alone
  Config config(kDbcConfig, env());
  std::vector<std::string> environment{
      "PATH=/bin", "dbcdx.file.vol.extra=" + env_["dbcdx.file.vol.extra"], "dbcdx.file.vol.wrk="};
  // A folder that is not there stays: the sweep reports it rather than pass it over.
  EXPECT_EQ(configuredFolders(config, env(), environment),
            (std::vector<std::string>{a, b, c, dir_.file("nowhere"), dir_.file("extra")}));
}

TEST_F(SweepDiscover, DataFilesByLastByteOrNameIndexesByName) {
  testkit::writeFile(dir_.file("CUST.TXT"), testkit::DataFile().record("A").eof().bytes());
  testkit::writeFile(dir_.file("NOTES.TXT"), "plain text\n");  // a text data file by its name
  testkit::writeFile(dir_.file("ORDERS"), testkit::DataFile().record("B").eof().bytes());
  testkit::writeFile(dir_.file("ORDERS.ISI"), std::string(1024, 'I'));
  testkit::writeFile(dir_.file("readme.md"), "not ours\n");
  testkit::writeFile(dir_.file("EMPTY"), "");
  dir_.mkdir("SUB.TXT");  // a folder is not swept into
  testkit::writeFile(dir_.file("SUB.TXT/DEEP.TXT"), "below: not ours\n");
  std::vector<Target> t = files();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].path, dir_.file("CUST.TXT"));
  EXPECT_EQ(t[0].kind, Kind::kData);
  EXPECT_EQ(t[0].size, 3);
  EXPECT_EQ(t[1].path, dir_.file("NOTES.TXT"));
  EXPECT_EQ(t[2].path, dir_.file("ORDERS"));
  EXPECT_EQ(t[3].path, dir_.file("ORDERS.ISI"));
  EXPECT_EQ(t[3].kind, Kind::kIndex);
  for (const Target& x : t) EXPECT_EQ(x.problem, "") << x.path;
  EXPECT_EQ(files(Only::kIndexes).size(), 1u);
  EXPECT_EQ(files(Only::kData).size(), 3u);
}

TEST_F(SweepDiscover, NamesOfOursThatCannotBeReadAreTargetsWithTheirProblem) {
  ASSERT_EQ(::mkfifo(dir_.file("PIPE.TXT").c_str(), 0600), 0);  // never opened for reading
  ASSERT_EQ(::symlink("nowhere", dir_.file("GHOST.ISI").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir_.file("otherpipe").c_str(), 0600), 0);
  std::vector<Target> t = files();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].path, dir_.file("GHOST.ISI"));
  EXPECT_EQ(t[0].problem, "No such file or directory");
  EXPECT_EQ(t[1].path, dir_.file("PIPE.TXT"));
  EXPECT_EQ(t[1].problem, "not a regular file");

  std::string error;
  std::vector<Target> none;
  EXPECT_FALSE(filesIn(dir_.file("nowhere"), Only::kAll, none, error));
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace dbc::sweep
