// dbtidy as a user runs it: messages, exit statuses and the files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::readFile;
using testkit::writeFile;
using Env = std::map<std::string, std::string>;

const std::string kBanner = "dbtidy - DB/C source beautifier\n";
const std::string kNoPath = "No Source Path\n";

class Dbtidy : public ::testing::Test {
 protected:
  testkit::RunResult run(std::vector<std::string> args, Env env = {}) {
    if (!env.count("TMPDIR")) env["TMPDIR"] = tmp;
    return testkit::run({"dbtidy", std::move(args), env, dir.path(), "", 30});
  }
  std::string file(const std::string& name) { return dir.file(name); }
  std::vector<std::string> tmpFiles() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tmp)) {
      names.push_back(e.path().filename());
    }
    return names;
  }

  testkit::TempDir dir;
  std::string tmp = dir.mkdir("tmp");
};

const char* const kSource = " if (a = 1)\n move\tb to c\n endif\n";
const char* const kFormatted = "\tif (a = 1)\n\t\tmove b to c\n\tendif\n";
// The counters of a run over kSource.
const std::string kCounts = "3 -- Lines Processed\n35 -- Bytes Read in\n36 -- Bytes Written out\n";

const std::string kHelp =
    "\nFormat: dbtidy infile outfile <options>\n\n"
    "Current Supported Options Are As Follows:\n\n"
    " -O      ---  Overwite Output File if it Exists\n"
    " -In     ---  Spaces per indention (default=5)\n"
    " -W      ---  Wide, insert a tab after the verb instead of a space\n"
    " -C      ---  Indent #IF type compiler directives\n"
    " -L      ---  Turn off Label / Code line splitting\n"
    " -2      ---  Loop style 2, Line up loop control verbs with corresponding loops\n"
    " -Tn     ---  Size of tabstops (default = same as spaces per indent setting)\n"
    " -Dn     ---  Tabstops between label and data declaration or verb,(default = 3)\n"
    " -U      ---  Update in place\n"
    " -Ffile  ---  Temp file name, use with /U\n"
    " -K      ---  kill DEBUG statements\n"
    " -KV     ---  kill DEBUG statements - Verbose\n"
    " -V      ---  Verbose\n"
    "\n Options Can also be specified in the Environment Variable 'DBTIDY_OPTS'\n"
    "\n  for example ; SET DBTIDY_OPTS=-U -K\n\n\n";

// Runs refused before a line is formatted: status 1, the exact output, the input as it was, no
// output file and nothing left in the temporary folder.
struct Refused {
  const char* name;
  std::vector<std::string> args;
  Env env;
  std::string out;
};

TEST_F(Dbtidy, RefusedRunsChangeNothing) {
  const std::string opts = "DBTIDY_OPTS will be used in addition to command line options\n";
  const std::string conflict = "Inconsistant Options, Update in place / output file\n\n";
  const std::string self = " \nis the input file itself, refused\n\n";
  const std::vector<Refused> rows{
      {"help without arguments", {}, {}, kBanner + kHelp},
      {"names in DBTIDY_OPTS are no arguments",
       {},
       {{"DBTIDY_OPTS", "in.txt out.txt"}},
       kBanner + kHelp},
      {"option errors all reported before anything is opened",
       {"in.txt", "-x", "-I0", "foo", "-i3"},
       {},
       kBanner + "\n\nOption /x  -  is not defined\n\n\n\nInvalid format for /I option\n\n" +
           "\n\nOption /foo  -  is not defined\n\n  3 Spaces per Indentation\n"},
      // Two spaces in DBTIDY_OPTS give an empty word, undefined behind the output name.
      {"empty word in DBTIDY_OPTS",
       {"in.txt", "out.txt"},
       {{"DBTIDY_OPTS", "-K  -V"}},
       kBanner + opts + "Kill DEBUG statements\n\n\nOption /  -  is not defined\n\nVerbose Mode\n"},
      {"update in place with an output file",
       {"in.txt", "out.txt", "-U", "-x"},
       {},
       kBanner + conflict},
      {"update in place from DBTIDY_OPTS",
       {"in.txt", "out.txt"},
       {{"DBTIDY_OPTS", "-u"}},
       kBanner + opts + conflict},
      {"missing input",
       {"none.txt", "out.txt"},
       {},
       kBanner + kNoPath + "\nUnable to open input file : none.txt\n\n"},
      {"output is the input",
       {"in.txt", "link.txt", "-O"},
       {},
       kBanner + "Overwrite Enabled\n" + kNoPath + "Input File : in.txt\n\nOutput File : link.txt" +
           self},
      {"work file is the input",
       {"in.txt", "-F" + file("in.txt")},
       {},
       kBanner + "Work file name : " + file("in.txt") + " \n" + kNoPath +
           "Input File : in.txt\n\nWork file : " + file("in.txt") + self},
  };
  writeFile(file("in.txt"), kSource);
  ASSERT_EQ(::symlink("in.txt", file("link.txt").c_str()), 0);
  for (const Refused& row : rows) {
    SCOPED_TRACE(row.name);
    auto r = run(row.args, row.env);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(readFile(file("in.txt")), kSource);
    EXPECT_FALSE(testkit::exists(file("out.txt")));
    EXPECT_TRUE(tmpFiles().empty());
  }
}

TEST_F(Dbtidy, NewOutputFileWithCounters) {
  writeFile(file("in.txt"), kSource);
  auto r = run({"in.txt", "out.txt"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, kBanner + kNoPath +
                       "Input File : in.txt\n"
                       "Output file : out.txt\n" +
                       kCounts);
  EXPECT_EQ(readFile(file("out.txt")), kFormatted);
  EXPECT_EQ(readFile(file("in.txt")), kSource);

  writeFile(file("empty.txt"), "");
  r = run({"empty.txt", "empty.out"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + kNoPath + "Input File : empty.txt\nOutput file : empty.out\n");
  EXPECT_EQ(readFile(file("empty.out")), "");
}

TEST_F(Dbtidy, CrLfAndLongLines) {
  std::string longLine = "L" + std::string(2499, 'x');
  writeFile(file("in.txt"), " MOVE\tA TO B\r\n X\rY\r\n" + longLine + "\nlast");
  auto r = run({"in.txt", "out.txt"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(readFile(file("out.txt")), "\tMOVE A TO B\n\tXY\n" + longLine.substr(0, 1000) + "\n" +
                                           std::string(1000, 'x') + "\n" + std::string(500, 'x') +
                                           "\nlast\n");
  EXPECT_NE(r.out.find("6 -- Lines Processed\n"), std::string::npos) << r.out;
}

TEST_F(Dbtidy, ExistingOutputRefusedWithoutOverwrite) {
  writeFile(file("in.txt"), kSource);
  writeFile(file("out.txt"), "keep me\n");
  auto r = run({"in.txt", "out.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kBanner + kNoPath +
                       "Input File : in.txt\n"
                       "\nOutput File : out.txt \nAlready Exists !! \n\n");
  EXPECT_EQ(readFile(file("out.txt")), "keep me\n");
  r = run({"in.txt", "out.txt", "-O"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(readFile(file("out.txt")), kFormatted);
}

TEST_F(Dbtidy, UpdateInPlaceKeepsTheInode) {
  writeFile(file("in.txt"), kSource);
  struct stat before, after;
  ASSERT_EQ(::stat(file("in.txt").c_str(), &before), 0);
  auto r = run({"in.txt"});
  EXPECT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(::stat(file("in.txt").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(readFile(file("in.txt")), kFormatted);
  const std::string head = kBanner + kNoPath + "Input File : in.txt\nCreating Temporary File : ";
  ASSERT_EQ(r.out.substr(0, head.size()), head);
  std::string rest = r.out.substr(head.size());
  std::string work = rest.substr(0, rest.find('\n'));
  EXPECT_EQ(work.substr(0, tmp.size() + 7), tmp + "/dbtidy");
  EXPECT_EQ(rest.substr(work.size()), "\n" + kCounts +
                                          "Copying Back Over Original Source File\n"
                                          "Outputing to : in.txt\n"
                                          "Copy back Complete\n"
                                          "Deleting Temporary File\n");
  EXPECT_TRUE(tmpFiles().empty());
}

TEST_F(Dbtidy, NamedWorkFile) {
  writeFile(file("in.txt"), kSource);
  writeFile(file("work.tmp"), std::string(10000, 'w'));
  auto r = run({"in.txt", "-U", "-Fwork.tmp", "-K"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, kBanner +
                       "Update In Place\n"
                       "Work file name : work.tmp \n"
                       "Kill DEBUG statements\n" +
                       kNoPath +
                       "Input File : in.txt\n"
                       "Creating Temporary File : work.tmp\n" +
                       kCounts +
                       "Copying Back Over Original Source File\n"
                       "Outputing to : in.txt\n"
                       "Copy back Complete\n"
                       "Deleting Temporary File\n");
  EXPECT_EQ(readFile(file("in.txt")), kFormatted);
  EXPECT_FALSE(testkit::exists(file("work.tmp")));
}

TEST_F(Dbtidy, SourcePathResults) {
  std::string a = dir.mkdir("a"), b = dir.mkdir("b");
  writeFile(b + "/prog.txt", kSource);
  writeFile(file("env1"), "DBC_FILEPATH=" + a + ";" + b + "\n");
  writeFile(file("env2"), "  DBC_SRCPATH=" + b + "/\n");
  struct Case {
    Env env;
    std::string message;
    std::string found;
  };
  std::vector<Case> cases = {
      {{{"DBC_SRCPATH", a + ";" + b}, {"DBC_FILEPATH", "/x"}, {"DBC_ENVFILE", "/no/such"}},
       "Using DBC_SRCPATH from Environment : " + a + ";" + b + "\n",
       b + "/prog.txt"},
      {{{"DBC_FILEPATH", b}}, "Using DBC_FILEPATH from Environment : " + b + "\n", b + "/prog.txt"},
      {{{"DBC_FILEPATH", a}, {"DBC_ENVFILE", file("env2")}},
       "Using DBC_SRCPATH from Environment file : " + b + "/\n",
       b + "/prog.txt"},
      {{{"DBC_ENVFILE", file("env1")}},
       "Using DBC_FILEPATH from Environment file : " + a + ";" + b + "\n",
       b + "/prog.txt"},
      {{{"DBC_ENVFILE", file("nothere")}},
       "\nError : Unable to open dbc environment file : " + file("nothere") + " \n" + kNoPath,
       ""},
  };
  for (const Case& c : cases) {
    auto r = run({"prog.txt", file("out.txt"), "-O"}, c.env);
    std::string head = kBanner + "Overwrite Enabled\n" + c.message;
    EXPECT_EQ(r.out.substr(0, head.size()), head) << r.out;
    if (c.found.empty()) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out.substr(head.size()), "\nUnable to open input file : prog.txt\n\n");
    } else {
      EXPECT_EQ(r.status, 0) << r.out;
      EXPECT_EQ(r.out.substr(head.size(), 13 + c.found.size()), "Input File : " + c.found);
      EXPECT_EQ(readFile(file("out.txt")), kFormatted);
    }
  }
}

TEST_F(Dbtidy, OutputFoundAlongTheSourcePath) {
  std::string src = dir.mkdir("src");
  writeFile(file("in.txt"), kSource);
  writeFile(src + "/out.txt", "old\n");
  Env env = {{"DBC_SRCPATH", src}};
  auto r = run({"in.txt", "out.txt"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("\nOutput File : " + src + "/out.txt \nAlready Exists !! \n\n"),
            std::string::npos)
      << r.out;
  r = run({"in.txt", "out.txt", "-o"}, env);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(readFile(src + "/out.txt"), kFormatted);
  EXPECT_FALSE(testkit::exists(file("out.txt")));
}

TEST_F(Dbtidy, KillDebugVerboseReport) {
  writeFile(file("in.txt"), "A FORM 1\n\n DEBUG\tX\n MOVE 1 TO A\n");
  auto r = run({"in.txt", "out.txt", "-kv"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, kBanner + "Kill DEBUG statements - VERBOSE\n" + kNoPath +
                       "Input File : in.txt\n"
                       "Output file : out.txt\n"
                       "------\n"
                       "Debug removed @ line 3\n"
                       "A FORM 1\n"
                       " DEBUG X\n"
                       "4 -- Lines Processed\n"
                       "36 -- Bytes Read in\n"
                       "28 -- Bytes Written out\n");
  EXPECT_EQ(readFile(file("out.txt")), "A\t\t\tFORM 1\n\n\tMOVE 1 TO A\n");
}

}  // namespace
