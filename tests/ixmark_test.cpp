// ixmark3 and ixmark run end to end on indexes from the testkit writer, with DBCSORT on PATH.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/codec.hpp"
#include "testkit/datafile.hpp"
#include "testkit/fault.hpp"
#include "testkit/files.hpp"
#include "testkit/isam.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::IsamEntry;

std::string tag(std::uint64_t blk, int off, std::uint64_t pos, const std::string& key) {
  char b[64];
  std::snprintf(b, sizeof b, "%12llu%12i%12llu", static_cast<unsigned long long>(blk), off,
                static_cast<unsigned long long>(pos));
  return b + key;
}
std::string key(std::uint64_t pos, const std::string& k) {
  char b[32];
  std::snprintf(b, sizeof b, "%12llu", static_cast<unsigned long long>(pos));
  return b + k;
}
std::string wide(const char* side, int step, const std::string& k1, const std::string& k2) {
  char b[256];
  std::snprintf(b, sizeof b, "%s--%i--%75s--%75s--\n", side, step, k1.c_str(), k2.c_str());
  return b;
}

// A sample installation: the index X.ISI and the data file DATA.TXT in the run's folder, the
// work directory wrk/ named by the configuration.
struct Install {
  testkit::TempDir dir;
  std::string wrk = dir.mkdir("wrk");
  std::map<std::string, std::string> env;
  explicit Install(testkit::Settings extra = {}) {
    testkit::Settings s{{"dbcdx.file.vol.wrk", wrk}};
    s.insert(s.end(), extra.begin(), extra.end());
    testkit::writeConfig(dir.file("dbc.cfg"), s);
    env["DBC_CFG"] = dir.file("dbc.cfg");
  }
  void data(const std::string& bytes) { testkit::writeFile(dir.file("DATA.TXT"), bytes); }
  void index(const testkit::IsamFile& f) { testkit::writeFile(dir.file("X.ISI"), f.bytes()); }
  testkit::RunResult run(const std::string& prog, std::vector<std::string> args = {"./X"}) {
    return testkit::run({prog, std::move(args), env, dir.path(), "", 60});
  }
  std::string work(const std::string& name) { return testkit::readFile(wrk + "/" + name); }
  void clearWork() {
    for (const std::string& name : testkit::listDir(wrk)) std::remove((wrk + "/" + name).c_str());
  }
};

testkit::IsamHeader header(const std::string& segs, int recsiz = 0, int blksiz = 256) {
  return {"./DATA", segs, blksiz, recsiz, 'I', false};
}

// Five fixed-length records with keys AAAA..EEEE at 0, 11, 22, 33, 44.
std::string fiveRecords() {
  testkit::DataFile d;
  for (const char* r : {"AAAA000000", "BBBB111111", "CCCC222222", "DDDD333333", "EEEE444444"})
    d.record(r);
  return d.eof().bytes();
}
const std::vector<IsamEntry> kFive{
    {"AAAA", 0}, {"BBBB", 11}, {"CCCC", 22}, {"DDDD", 33}, {"EEEE", 44}};

// fiveRecords() in the data file and an index over them with the record size 10, by `build`.
void indexFive(Install& in, const std::function<void(testkit::IsamFile&)>& build) {
  in.data(fiveRecords());
  testkit::IsamFile f(header("1-4", 10));
  build(f);
  in.index(f);
}

class BothPrograms : public testing::TestWithParam<std::string> {};
INSTANTIATE_TEST_SUITE_P(Ixmark, BothPrograms, testing::Values("ixmark3", "ixmark"));

TEST_P(BothPrograms, CleanRunLeavesNothing) {
  Install in;
  indexFive(in, [](testkit::IsamFile& f) { f.tree(kFive, 2, 1); });
  auto r = in.run(GetParam());
  EXPECT_EQ(r.status, 0) << r.out;
  std::string wrkLine = GetParam() == "ixmark3" ? in.wrk + "\n" : "";
  EXPECT_EQ(r.out, wrkLine + "./X.ISI\n./DATA.TXT\n");
  EXPECT_TRUE(testkit::listDir(in.wrk).empty());
}

TEST_P(BothPrograms, DisagreementsGiveErrorDebugAndProperties) {
  // Records long enough that the error file stays shorter than the data file.
  Install in;
  testkit::DataFile d;
  std::vector<std::uint64_t> p;
  for (const char* k : {"AAAA", "BBBB", "CCCC", "DDDD", "EEEE"}) {
    p.push_back(d.bytes().size());
    d.record(k + std::string(56, 'x'));
  }
  in.data(d.eof());
  testkit::IsamFile f(header("1-4", 60));
  auto v1 = f.vBlock({{"AAAA", p[0]}, {"BBBX", p[1]}});  // BBBB's key was changed in the data
  auto v2 = f.vBlock({{"DDDD", p[3]}});
  auto v3 = f.vBlock({{"EEEE", p[4]}});
  // CCCC has no entry; CCCD points between two records; DDDD is there twice.
  auto u = f.uBlock(v1, {{"CCCD", p[2] + 8, v2}, {"DDDD", p[3], v3}});
  f.setRoot(u);
  in.index(f);
  auto r = in.run(GetParam());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(testkit::listDir(in.wrk), (std::vector<std::string>{"X.DBG", "X.ERR", "X.PRP"}));
  EXPECT_EQ(in.work("X.ERR"), "I" + tag(1024, 22, p[1], "BBBX") + "\n" +       //
                                  "T" + key(p[1], "BBBB") + "\n" +             //
                                  "T" + key(p[2], "CCCC") + "\n" +             //
                                  "I" + tag(u, 11, p[2] + 8, "CCCD") + "\n" +  //
                                  "I" + tag(u, 27, p[3], "DDDD") + "\n");
  EXPECT_EQ(in.work("X.DBG"), "I--2--" + key(p[1], "BBBX") + "--" + key(p[1], "BBBB") + "--\n" +
                                  "T--2--" + key(p[1], "BBBX") + "--" + key(p[1], "BBBB") + "--\n" +
                                  wide("T", 3, key(p[2] + 8, "CCCD"), key(p[2], "CCCC")) +
                                  wide("I", 4, key(p[2] + 8, "CCCD"), key(p[3], "DDDD")) +
                                  wide("I", 6, key(p[3], "DDDD"), key(p[4], "EEEE")));
  EXPECT_EQ(in.work("X.PRP"), "Compression=0 Min=60 Max=60\n");
}

TEST_P(BothPrograms, ErrorFileOutgrowingTheDataFileStops) {
  Install in;
  in.data(testkit::DataFile().record("AAAA").eof());
  testkit::IsamFile f(header("1-4"));
  f.setRoot(f.vBlock({{"AAAA", 0}, {"BBBB", 9}, {"CCCC", 19}}));
  in.index(f);
  auto r = in.run(GetParam());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("An internal error has occurred.  Contact Quillon.\n"), std::string::npos);
  EXPECT_EQ(in.work("X.ERR"), "I" + tag(1024, 22, 9, "BBBB") + "\n");
  EXPECT_TRUE(testkit::exists(in.wrk + "/X.TAG"));
  EXPECT_TRUE(testkit::exists(in.wrk + "/X.SRT"));
}

TEST_P(BothPrograms, EndsOfEitherSide) {
  {  // a deleted record ends a varying-length file: the rest of the tags have no records
    Install in;
    const std::string pad(60, 'x');
    in.data(testkit::DataFile().compressed("AAAA  1" + pad).deleted(5).record("BBBB" + pad).eof());
    testkit::IsamFile f(header("1-4"));
    f.setRoot(f.vBlock({{"AAAA", 0}, {"BBBB", 74}, {"CCCC", 74}}));
    in.index(f);
    auto r = in.run(GetParam());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(in.work("X.ERR"),
              "I" + tag(1024, 22, 74, "BBBB") + "\n" + "I" + tag(1024, 33, 74, "CCCC") + "\n");
    EXPECT_EQ(in.work("X.DBG"), "eof2\neof2\n");
    EXPECT_EQ(in.work("X.PRP"), "Compression=1 Min=0 Max=67\n");
  }
  {  // the last record has no entry
    Install in;
    indexFive(in, [](testkit::IsamFile& f) {
      f.setRoot(f.vBlock({kFive.begin(), kFive.end() - 1}));
    });
    auto r = in.run(GetParam());
    EXPECT_EQ(in.work("X.ERR"), "T" + key(44, "EEEE") + "\n");
    EXPECT_EQ(in.work("X.DBG"), "eof1\n");
  }
}

TEST_P(BothPrograms, VerboseRun) {
  Install in;
  indexFive(in, [](testkit::IsamFile& f) { f.setRoot(f.vBlock(kFive)); });
  auto r = in.run(GetParam(), {"-v", "./X"});
  EXPECT_EQ(r.status, 0);
  const bool three = GetParam() == "ixmark3";
  std::string w = in.wrk;
  std::string want =
      three ? w + "\n\nixmark3 January 11, 2023\n>> To change wrkpath set NDXPROBE_WRK=path\n"
            : "\nixmark2 - August 31, 2020\n";
  want += "./X.ISI\nOpen index file ./X.ISI\n";
  want += "Create temp file " + w + "/X.TAG\nCreate error file " + w +
          "/X.ERR\nCreate properties file " + w + "/X.PRP\nCreate debug file " + w + "/X.DBG\n";
  want += "Block size is 256\nRecord size is 10\n./DATA.TXT\nOpen text file ./DATA.TXT\n";
  want += "EOF position is 55\nDBC type file\nKey size is 4\n\r5 records in index file\n";
  want += "DBCSORT " + w + "/X.TAG " + w + "/X.SRT 25-40 " + (three ? "-C" : "-T") + " -M=44\n";
  want += "Sort complete\n\r5 records in data file\nCompression=0 Min=10 Max=10\n0 errors\n";
  EXPECT_EQ(r.out, want);
}

TEST(Ixmark3, WorkDirectoryAndCollate) {
  Install in(testkit::Settings{{"dbcdx.file.collate", "97:65;"}});
  in.data(testkit::DataFile().record("Abc").eof());
  testkit::IsamFile f(header("1-3"));
  f.setRoot(f.vBlock({{"abc", 0}}));  // seen through the table, both keys read Abc
  in.index(f);
  std::string other = in.dir.mkdir("other dir");
  in.env["NDXPROBE_WRK"] = other;
  auto r = in.run("ixmark3", {"-V", "./X"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(
      r.out.substr(0, r.out.find("./X.ISI")),
      "\nixmark3 January 11, 2023\n1 characters in collate list\nNDXPROBE_WRK found " + other +
          "\n\nixmark3 January 11, 2023\n>> Warning. Work path changed to :: " + other + "\n");
  // The sort still finds the files in a folder whose name needs quoting.
  EXPECT_NE(r.out.find("DBCSORT " + other + "/X.TAG " + other + "/X.SRT 25-39 -C -M=42\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("0 errors"), std::string::npos);
  EXPECT_TRUE(testkit::listDir(other).empty());
  EXPECT_TRUE(testkit::listDir(in.wrk).empty());
  // An empty NDXPROBE_WRK is ignored.
  in.env["NDXPROBE_WRK"] = "";
  r = in.run("ixmark3");
  EXPECT_EQ(r.out.substr(0, r.out.find("./X.ISI")),
            "\nixmark3 January 11, 2023\n1 characters in collate list\n" + in.wrk + "\n");
}

TEST(Ixmark3, InvalidKeyCharacters) {
  Install in;
  in.data(testkit::DataFile().record("AB C").record("ABDD").eof());
  const std::string control = std::string("AB\x01") + "D";
  testkit::IsamFile f(header("1-4"));
  f.setRoot(f.vBlock({{"AB C", 0}, {control, 5}}));
  in.index(f);
  auto r = in.run("ixmark3");
  EXPECT_NE(r.out.find("Invalid character 0x01 in record starting at 5\n"
                       "1 index keys contained invalid characters\n"),
            std::string::npos)
      << r.out;
  // ixmark3 cleans the key to "AB D", which the record "ABDD" does not match.
  EXPECT_EQ(in.work("X.ERR"), "I" + tag(1024, 20, 5, "AB D") + "\nT" + key(5, "ABDD") + "\n");
  auto r2 = in.run("ixmark");
  EXPECT_EQ(in.work("X.ERR"), "I" + tag(1024, 20, 5, control) + "\nT" + key(5, "ABDD") + "\n");
}

// A run that stops at once. ixmark3 prints the work folder first where ixmark does not; a
// run that got as far as its work files leaves them, empty, under the index's name.
struct Failure {
  const char* name;
  std::vector<std::string> args;
  std::string out2;
  std::string out3 = "";  // when empty: the work folder's line and out2
};

std::string expand(std::string s, const std::string& wrk) {  // {wrk}: the work folder
  for (std::size_t p; (p = s.find("{wrk}")) != std::string::npos;) s.replace(p, 5, wrk);
  return s;
}

TEST(IxmarkFailures, MessagesStatusesAndFilesLeft) {
  const std::string t3 = "\nixmark3 January 11, 2023\n", t2 = "\nixmark2 - August 31, 2020\n";
  const std::vector<Failure> cases{
      {"no argument", {}, t2 + "Format: ixmark isifile\n", t3 + "Format: ixmark3 isifile\n"},
      {"verbose without name",
       {"-v"},
       "Format: ixmark isifile\n",
       "{wrk}\n" + t3 + ">> To change wrkpath set NDXPROBE_WRK=path\nFormat: ixmark3 isifile\n"},
      {"index missing", {"./NONE"}, "./NONE.ISI\nError opening ./NONE \n"},
      {"not an index", {"./BAD"}, "./BAD.ISI\nBad index file ./BAD \n"},
      {"no segment list", {"./NOSEG"}, "./NOSEG.ISI\nIncompatible index file\n"},
      {"data file missing", {"./NODATA"}, "./NODATA.ISI\n./GONE.TXT\nError opening ./GONE \n"},
      // A folder opens like a file but cannot be read: never an empty index or data file.
      {"index a folder", {"./FOLDER"}, "./FOLDER.ISI\n\nError reading ./FOLDER.ISI \n"},
      {"data file a folder",
       {"./DIRDATA"},
       "./DIRDATA.ISI\n./DATADIR.TXT\n\nError reading ./DATADIR.TXT \n"},
  };
  for (const std::string prog : {"ixmark3", "ixmark"}) {
    for (const Failure& c : cases) {
      Install in;
      testkit::IsamHeader bad = header("1-4");
      bad.type = 'J';
      testkit::writeFile(in.dir.file("BAD.ISI"), testkit::IsamFile(bad).bytes());
      testkit::IsamHeader noseg = header("1-4");
      noseg.noSegments = true;
      testkit::writeFile(in.dir.file("NOSEG.ISI"), testkit::IsamFile(noseg).bytes());
      testkit::IsamHeader nodata = header("1-4");
      nodata.dataName = "./GONE";
      testkit::writeFile(in.dir.file("NODATA.ISI"), testkit::IsamFile(nodata).bytes());
      in.dir.mkdir("FOLDER.ISI");
      testkit::IsamHeader dirdata = header("1-4");
      dirdata.dataName = "./DATADIR";
      testkit::IsamFile withEntries(dirdata);
      withEntries.setRoot(withEntries.vBlock({{"AAAA", 0}}));
      testkit::writeFile(in.dir.file("DIRDATA.ISI"), withEntries.bytes());
      in.dir.mkdir("DATADIR.TXT");
      SCOPED_TRACE(prog + ": " + c.name);
      auto r = in.run(prog, c.args);
      const std::string out3 = expand(c.out3.empty() ? "{wrk}\n" + c.out2 : c.out3, in.wrk);
      EXPECT_EQ(r.out, prog == "ixmark3" ? out3 : c.out2);
      EXPECT_EQ(r.status, 1);
      // Every index that opened leaves its four work files, empty.
      std::vector<std::string> left;
      const std::string stem = c.args.empty() ? "" : c.args.back().substr(2);
      if (!(stem.empty() || stem == "NONE"))
        for (const char* ext : {".DBG", ".ERR", ".PRP", ".TAG"}) left.push_back(stem + ext);
      EXPECT_EQ(testkit::listDir(in.wrk), left);
      for (const auto& name : left) EXPECT_EQ(in.work(name), "") << name;
    }
    {  // no work directory
      testkit::TempDir d;
      testkit::writeConfig(d.file("dbc.cfg"), {});
      auto r = testkit::run({prog, {"./X"}, {{"DBC_CFG", d.file("dbc.cfg")}}, d.path(), "", 60});
      EXPECT_EQ(r.out,
                (prog == "ixmark3" ? t3 : std::string()) + "dbcdx.file.vol.wrk is not defined\n");
      EXPECT_EQ(r.status, 1);
    }
    {  // a work file that cannot be created
      Install in;
      indexFive(in, [](testkit::IsamFile&) {});
      std::filesystem::create_directory(in.wrk + "/X.ERR");
      auto r = in.run(prog);
      EXPECT_NE(r.out.find("Error creating " + in.wrk + "/X.ERR \n"), std::string::npos) << r.out;
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(in.work("X.TAG"), "");
      EXPECT_FALSE(testkit::exists(in.wrk + "/X.PRP"));
    }
  }
}

TEST(IxmarkFailures, DataScanStops) {
  for (const std::string prog : {"ixmark3", "ixmark"}) {
    {  // bad record size: status 0, every work file stays
      Install in;
      in.data(testkit::DataFile().record("AAAA00").record("BBBB1").eof());
      testkit::IsamFile f(header("1-4", 6));
      f.setRoot(f.vBlock({{"AAAA", 0}, {"BBBB", 7}}));
      in.index(f);
      auto r = in.run(prog);
      EXPECT_EQ(r.status, 0);
      EXPECT_NE(r.out.find("\n7 1 bad rec size 5 6\n"), std::string::npos) << r.out;
      EXPECT_EQ(testkit::listDir(in.wrk),
                (std::vector<std::string>{"X.DBG", "X.ERR", "X.PRP", "X.SRT", "X.TAG"}));
    }
    {  // embedded end mark: status 1
      Install in;
      in.data(testkit::DataFile().record("AAAA").raw("BB").eof());
      testkit::IsamFile f(header("1-4"));
      f.setRoot(f.vBlock({{"AAAA", 0}}));
      in.index(f);
      auto r = in.run(prog);
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.out.find("\nEmbedded EOF at 5\n"), std::string::npos) << r.out;
    }
  }
}

TEST(IxmarkFailures, DamagedIndexesStopWithStatus1) {
  struct Damage {
    const char* name;
    std::function<void(testkit::IsamFile&)> build;
    testkit::IsamHeader h;
    const char* message;
  };
  auto cycle = [](testkit::IsamFile& f) {
    auto root = f.nextPos();
    auto v = root + f.blksiz();
    f.uBlock(v, {{"BBBB", 0, root}});
    f.vBlock({{"AAAA", 0}});
    f.setRoot(root);
  };
  auto deep = [](testkit::IsamFile& f) {
    std::uint64_t first = f.nextPos();
    for (int i = 0; i < 1001; ++i) f.uBlock(first + (i + 1) * f.blksiz(), {});
    f.setRoot(first);
  };
  auto pastBlock = [](testkit::IsamFile& f) {
    std::string b = testkit::vBlockBytes({{"AAAA", 0}, {"BBBB", 0}}, 4, 0, false);
    b.resize(24);
    f.setRoot(f.rawBlock(b));
    f.rawBlock("");
  };
  auto none = [](testkit::IsamFile&) {};
  std::string sixteen;
  for (int i = 1; i <= 16; ++i) sixteen += std::to_string(i) + " ";
  std::vector<Damage> cases{
      {"cycle", cycle, header("1-4"), "link back into the walk"},
      {"deep", deep, header("1-4", 0, 64), "tree deeper than the walk stack"},
      {"past block", pastBlock, header("1-4", 0, 24), "entry runs past the end of the block"},
      {"block size 0", none, header("1-4", 0, 0), "block size 0 is not between 1 and 16384"},
      {"block size big", none, header("1-4", 0, 16385), "block size 16385"},
      {"key size", none, header("1-100 200-300"), "key size 201 is above 163"},
      {"segments", none, header(sixteen), "more than 15 key segments"},
  };
  for (const std::string prog : {"ixmark3", "ixmark"}) {
    for (const Damage& c : cases) {
      Install in;
      in.data(fiveRecords());
      testkit::IsamFile f(c.h);
      c.build(f);
      in.index(f);
      auto r = in.run(prog);
      EXPECT_EQ(r.status, 1) << prog << c.name << r.out;
      EXPECT_NE(r.out.find(std::string("Damaged index file ./X: ") + c.message), std::string::npos)
          << prog << c.name << r.out;
    }
  }
}

// An index and data file that disagree in a few places over many records, so that a run leaves
// error, properties and debug files; `n` records of 40 bytes.
void manyRecords(Install& in, int n) {
  testkit::DataFile d;
  std::vector<IsamEntry> entries;
  for (int i = 0; i < n; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "K%07d", i);
    if (i % 1000 != 7) entries.push_back({k, d.bytes().size()});  // a record without an entry
    d.record(k + std::string(32, 'x'));
  }
  in.data(d.eof());
  testkit::IsamFile f(header("1-8", 40, 1024));
  f.tree(entries);
  in.index(f);
}

std::map<std::string, std::string> workFiles(Install& in) {
  std::map<std::string, std::string> files;
  for (const std::string& name : testkit::listDir(in.wrk)) files[name] = in.work(name);
  return files;
}

// A sorted file left by an earlier run that stopped before its clean-up must never be compared
// in place of the output of a sort that failed: the run reports the sorted file missing.
TEST_P(BothPrograms, StaleSortedFileIsNeverCompared) {
  const bool three = GetParam() == "ixmark3";
  testkit::TempDir shims;
  const std::string real = testkit::binPath("DBCSORT");
  struct Sort {
    const char* name;
    std::string script;  // empty: no DBCSORT anywhere on PATH
  };
  std::vector<Sort> sorts{
      {"fails", "exit 1"},
      {"killed", "kill -TERM $$"},
      {"disk full", "trap '' XFSZ; ulimit -f 0; exec '" + real + "' \"$@\""},
      {"missing", ""},
  };
  for (const Sort& sort : sorts) {
    SCOPED_TRACE(sort.name);
    Install in;
    indexFive(in, [](testkit::IsamFile& f) { f.tree(kFive); });
    // Sorted tags of another index: compared, they would report five disagreements.
    std::string stale;
    for (const char* k : {"AAAX", "BBBX", "CCCX", "DDDX", "EEEX"}) {
      std::string t = tag(1024, 7, 0, k);
      stale += three ? dbc::encodeRecord(t, false) + "\xFA" : t + "\n";
    }
    if (three) stale += "\xFB";
    testkit::writeFile(in.wrk + "/X.SRT", stale);
    const std::string bin = shims.mkdir(sort.name);
    if (!sort.script.empty()) {
      testkit::writeFile(bin + "/DBCSORT", "#!/bin/sh\n" + sort.script + "\n");
      chmod((bin + "/DBCSORT").c_str(), 0755);
    }
    in.env["PATH"] = bin + ":/usr/bin:/bin";
    auto r = in.run(GetParam());
    EXPECT_EQ(r.status, 1) << r.out;
    const std::string missing = "Error opening " + in.wrk + "/X.SRT \n";
    EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), missing.size())), missing);
    EXPECT_EQ(testkit::listDir(in.wrk),
              (std::vector<std::string>{"X.DBG", "X.ERR", "X.PRP", "X.TAG"}));
    for (const char* name : {"X.DBG", "X.ERR", "X.PRP"}) EXPECT_EQ(in.work(name), "") << name;
  }
  {  // a sorted file that cannot be removed: the run stops before the sort
    Install in;
    indexFive(in, [](testkit::IsamFile& f) { f.tree(kFive); });
    in.dir.mkdir("wrk/X.SRT/inside");
    auto r = in.run(GetParam());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error creating " + in.wrk + "/X.SRT \n"), std::string::npos) << r.out;
    EXPECT_TRUE(testkit::exists(in.wrk + "/X.SRT/inside"));
  }
}

// A read that fails anywhere (index, data file, sorted file) is reported with the file's name and
// status 1; it never passes for the end of that file, which would report a completed comparison.
TEST_P(BothPrograms, ReadErrorsAreNeverTheEndOfTheData) {
  Install in;
  manyRecords(in, 3000);
  auto clean = in.run(GetParam());
  ASSERT_EQ(clean.status, 0) << clean.out;
  const auto expected = workFiles(in);
  ASSERT_EQ(expected.size(), 3u);
  std::vector<std::string> files{"./X.ISI", "./DATA.TXT"};
  // ixmark reads its sorted file through a stream, out of the injector's reach (see compare_test).
  if (GetParam() == "ixmark3") files.push_back(in.wrk + "/X.SRT");
  std::set<std::string> reported;
  for (int nth = 1;; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth));
    in.clearWork();
    testkit::Command c{GetParam(), {"./X"}, in.env, in.dir.path(), "", 60};
    testkit::inject(c, {"read", nth, false, "EIO", 0, GetParam()});
    auto r = testkit::run(c);
    if (r.status == 0) {
      // Past the run's last read: nothing failed.
      EXPECT_EQ(workFiles(in), expected);
      break;
    }
    EXPECT_EQ(r.status, 1) << r.out;
    bool named = false;
    for (const std::string& f : files) {
      if (r.out.find("\nError reading " + f + " \n") == std::string::npos) continue;
      named = true;
      reported.insert(f);
    }
    EXPECT_TRUE(named) << r.out;
    ASSERT_LT(nth, 1000);
  }
  EXPECT_EQ(reported, std::set<std::string>(files.begin(), files.end()));
  in.clearWork();

  // An error file that cannot be written is a failed run, not one without findings.
  ASSERT_EQ(symlink("/dev/full", (in.wrk + "/X.ERR").c_str()), 0);
  auto r = in.run(GetParam());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Error writing " + in.wrk + "/X.ERR \n"), std::string::npos) << r.out;
}

TEST_P(BothPrograms, ClosedStandardDescriptorsAndAFullStandardOutput) {
  Install in;
  manyRecords(in, 300);
  const std::string index = testkit::readFile(in.dir.file("X.ISI"));
  const std::string data = testkit::readFile(in.dir.file("DATA.TXT"));
  auto clean = in.run(GetParam());
  ASSERT_EQ(clean.status, 0) << clean.out;
  const auto expected = workFiles(in);
  auto runWith = [&](const testkit::Hazards& h) {
    in.clearWork();
    auto r = testkit::run({GetParam(), {"./X"}, in.env, in.dir.path(), "", 60}, h);
    // Every file as a run with all three descriptors open leaves it.
    EXPECT_EQ(workFiles(in), expected);
    EXPECT_EQ(testkit::readFile(in.dir.file("X.ISI")), index);
    EXPECT_EQ(testkit::readFile(in.dir.file("DATA.TXT")), data);
    EXPECT_EQ(testkit::listDir(in.dir.path()),
              (std::vector<std::string>{"DATA.TXT", "X.ISI", "dbc.cfg", "wrk"}));
    return r;
  };
  for (const std::vector<int>& closed :
       std::vector<std::vector<int>>{{0}, {1}, {2}, {0, 1}, {1, 2}, {0, 1, 2}}) {
    SCOPED_TRACE(::testing::PrintToString(closed));
    testkit::Hazards h;
    for (int fd : closed) h.close(fd);
    EXPECT_EQ(runWith(h).status, 0);
  }
  auto r = runWith(testkit::Hazards().stdoutTo("/dev/full"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind(GetParam() + ": write error on standard output", 0), 0u) << r.err;
}

// A terminal's ^C reaches the program, its shell and the sort together, at any moment of the run:
// the run ends as the interrupt asked, and none of the sort's temporary files is left.
TEST_P(BothPrograms, InterruptAtAnyMomentLeavesNoTemporaryFiles) {
  Install in;
  manyRecords(in, 80000);
  const std::string tmp = in.dir.mkdir("tmp");
  in.env["TMPDIR"] = tmp;
  in.env["DBCSORT_MEMORY"] = "64K";  // run files, merged in levels
  auto start = std::chrono::steady_clock::now();
  auto clean = in.run(GetParam());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(clean.status, 0) << clean.out;
  std::mt19937 gen(9);
  std::uniform_real_distribution<double> moment(0, seconds);
  const std::set<std::string> work{"X.DBG", "X.ERR", "X.PRP", "X.SRT", "X.TAG"};
  int interrupted = 0;
  for (int i = 0; i < 10; ++i) {
    const double at = moment(gen);
    SCOPED_TRACE("interrupt after " + std::to_string(at) + " s");
    in.clearWork();
    auto r = testkit::run({GetParam(), {"./X"}, in.env, in.dir.path(), "", 60},
                          testkit::Hazards().signalAfter(SIGINT, at, true));
    ASSERT_TRUE(r.status == 0 || r.status == 128 + SIGINT) << r.status << r.out;
    interrupted += r.status != 0;
    for (const std::string& name : testkit::listDir(in.wrk))
      EXPECT_TRUE(work.count(name)) << name << " left in the work folder";
    EXPECT_EQ(testkit::listDir(tmp), std::vector<std::string>{});
    // A sorted file there is the whole sort of the whole tag file.
    if (testkit::exists(in.wrk + "/X.SRT")) {
      auto s = testkit::run({"DBCSORT",
                             {in.wrk + "/X.TAG", in.dir.file("check.srt"), "25-44",
                              GetParam() == "ixmark3" ? "-C" : "-T", "-M=52"},
                             {},
                             in.dir.path(),
                             "",
                             60});
      ASSERT_EQ(s.status, 0) << s.err;
      EXPECT_TRUE(testkit::readFile(in.wrk + "/X.SRT") ==
                  testkit::readFile(in.dir.file("check.srt")));
      std::remove(in.dir.file("check.srt").c_str());
    }
  }
  EXPECT_GE(interrupted, 5) << "the interrupts came too late to test anything";
}

}  // namespace
