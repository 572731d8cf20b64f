#include "dbtidy/srcpath.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "testkit/capture.hpp"
#include "testkit/files.hpp"

namespace dbc::dbtidy {
namespace {

using enum PathSource;

struct Env {
  std::map<std::string, std::string> vars;
  EnvLookup lookup() const {
    return [this](const char* k) -> const char* {
      auto it = vars.find(k);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  }
};

SourcePath resolve(const Env& env, std::string* out = nullptr, bool verbose = false) {
  testkit::Capture cap;
  SourcePath p = get_srcpath(env.lookup(), verbose, cap.file());
  if (out) *out = cap.text();
  return p;
}

TEST(GetSrcpath, PrecedenceOfTheFourSources) {
  testkit::TempDir dir;
  std::string envfile = dir.file("dbc.env");
  testkit::writeFile(envfile,
                     "OTHER=1\n  DBC_FILEPATH=/f1\ndbc_srcpath=/lower\nDBC_FILEPATH=/f2;/f3 \n");
  EXPECT_EQ(resolve({}).result, kNoPath);
  EXPECT_EQ(resolve({{{"DBC_SRCPATH", ""}, {"DBC_ENVFILE", "/nonexistent"}}}).result, kSrcpathEnv);

  SourcePath p = resolve({{{"DBC_ENVFILE", envfile}}});
  EXPECT_EQ(p.result, kFilepathFile);
  EXPECT_EQ(p.srcpath, "/f2;/f3 ");

  p = resolve({{{"DBC_FILEPATH", "/envf"}, {"DBC_ENVFILE", envfile}}});
  EXPECT_EQ(p.result, kFilepathEnv);
  EXPECT_EQ(p.srcpath, "/envf");

  testkit::writeFile(envfile, "DBC_FILEPATH=/f1\r\n DBC_SRCPATH=/s=1\nDBC_SRCPATH=/later\n");
  p = resolve({{{"DBC_FILEPATH", "/envf"}, {"DBC_ENVFILE", envfile}}});
  EXPECT_EQ(p.result, kSrcpathFile);
  EXPECT_EQ(p.srcpath, "/s=1");

  testkit::writeFile(envfile, "DBC_SRCPATH");
  p = resolve({{{"DBC_ENVFILE", envfile}}});
  EXPECT_EQ(p.result, kSrcpathFile);
  EXPECT_EQ(p.srcpath, "");
}

TEST(GetSrcpath, MissingEnvironmentFileKeepsThePathSoFar) {
  std::string out;
  SourcePath p = resolve({{{"DBC_FILEPATH", "/a"}, {"DBC_ENVFILE", "/no/such/env"}}}, &out);
  EXPECT_EQ(p.result, kFilepathEnv);
  EXPECT_EQ(out, "\nError : Unable to open dbc environment file : /no/such/env \n");
}

TEST(GetSrcpath, VerboseTracesTheEnvironmentFile) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("e"), "X=1\n");
  std::string out;
  resolve({{{"DBC_ENVFILE", dir.file("e")}}}, &out, true);
  EXPECT_EQ(out, "Line in : [X=1]\nLine in : []\n");
}

TEST(ReportSrcpath, Messages) {
  testkit::Capture cap;
  reportSrcpath({kNoPath, ""}, cap.file());
  reportSrcpath({kSrcpathEnv, "/a"}, cap.file());
  reportSrcpath({kFilepathEnv, "/b"}, cap.file());
  reportSrcpath({kSrcpathFile, "/c"}, cap.file());
  reportSrcpath({kFilepathFile, "/d"}, cap.file());
  EXPECT_EQ(cap.text(),
            "No Source Path\n"
            "Using DBC_SRCPATH from Environment : /a\n"
            "Using DBC_FILEPATH from Environment : /b\n"
            "Using DBC_SRCPATH from Environment file : /c\n"
            "Using DBC_FILEPATH from Environment file : /d\n");
}

TEST(Searchpath, FirstExistingCandidate) {
  testkit::TempDir dir;
  std::string a = dir.mkdir("a"), b = dir.mkdir("b");
  testkit::writeFile(b + "/prog.ps", "");
  testkit::writeFile(b + "/both", "");
  testkit::writeFile(a + "/both", "");
  std::string path = a + ";" + b + "/";
  EXPECT_EQ(searchpath("prog.ps", path), b + "/prog.ps");
  EXPECT_EQ(searchpath("both", path), a + "/both");
  EXPECT_EQ(searchpath("none", path), "");
  EXPECT_EQ(searchpath("prog.ps", ""), "");
  EXPECT_EQ(searchpath("prog.ps", a + ";"), "");
  // A name with a directory is tried under the path's entries too.
  EXPECT_EQ(searchpath("b/prog.ps", dir.path()), dir.path() + "/b/prog.ps");
  // An empty entry stands for the root directory.
  EXPECT_EQ(searchpath("tmp", a + ";;" + b), "/tmp");
}

}  // namespace
}  // namespace dbc::dbtidy
