#include "ixmark/run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "common/stop.hpp"
#include "testkit/context.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/isam.hpp"

namespace dbc::ixmark {
namespace {

// An installation of its own: the index X.ISI and the data file DATA.TXT found through the
// search path of its configuration, and a work folder.
struct Install {
  testkit::TempDir dir;
  std::string wrk = dir.mkdir("wrk");
  std::uint64_t positions[5] = {};

  // Five records keyed AAAA..EEEE, long enough that the error file stays shorter than the data
  // file; the index leaves out every key in `missing` and gives the second record `secondKey`.
  Install(const std::string& missing, const std::string& secondKey) {
    testkit::writeConfig(dir.file("dbc.cfg"),
                         {{"dbcdx.file.open", dir.path()}, {"dbcdx.file.vol.wrk", wrk}});
    testkit::DataFile d;
    std::vector<testkit::IsamEntry> entries;
    int i = 0;
    for (const std::string k : {"AAAA", "BBBB", "CCCC", "DDDD", "EEEE"}) {
      positions[i] = d.bytes().size();
      d.record(k + std::string(56, 'x'));
      if (missing.find(k[0]) == std::string::npos)
        entries.push_back({i == 1 ? secondKey : k, positions[i]});
      ++i;
    }
    testkit::writeFile(dir.file("DATA.TXT"), d.eof().bytes());
    testkit::IsamFile f({"DATA", "1-4", 256, 60, 'I', false});
    f.tree(entries, 2, 2);
    testkit::writeFile(dir.file("X.ISI"), f.bytes());
  }

  // A context whose environment names this installation's configuration, and whose DBCSORT
  // copies the tags: the walk writes them in record order already, as the records are in key
  // order.
  void prepare(testkit::FakeContext& c) const {
    c.env["DBC_CFG"] = dir.file("dbc.cfg");
    c.shell = [](const std::string& command) {
      std::istringstream words(command);
      std::string name, from, to;
      words >> name >> from >> to;
      testkit::writeFile(to, testkit::readFile(from));
      return 0;
    };
  }
};

// What one run came to, as one text a failure shows whole.
std::string outcome(int status, testkit::FakeContext& c, const Findings& f,
                    const std::string& wrk) {
  std::string work;
  for (const std::string& name : testkit::listDir(wrk)) work += name + " ";
  std::string commands;
  for (const std::string& command : c.commands) commands += command + "; ";
  return "status " + std::to_string(status) + "\nout " + c.out.text() + "err " + c.err.text() +
         "\nshell " + commands + "\nentries " + std::to_string(f.entries) + " errors " +
         std::to_string(f.errors) + (f.compared ? " compared" : "") + "\nwork " + work;
}

// Two verifications at once in one process, each with its own context and work folder, and the
// same index name in both: neither sees the other's configuration, work files, output or figures.
TEST(Run, TwoVerificationsAtOnceKeepApart) {
  const Install clean("", "BBBB");
  const Install damaged("C", "BBBX");
  auto want = [&](int job) {
    const Install& in = job == 0 ? clean : damaged;
    return "status 0\nout " + (job == 0 ? "NDXPROBE_WRK found " + in.wrk + "\n" : "") +
           in.dir.file("X.ISI") + "\n" + in.dir.file("DATA.TXT") + "\nerr \nshell DBCSORT " +
           in.wrk + "/X.TAG " + in.wrk + "/X.SRT 25-40 " + (job == 0 ? "-C" : "-T") + " -M=44; \n" +
           (job == 0 ? "entries 5 errors 0 compared\nwork "
                     : "entries 4 errors 3 compared\nwork X.DBG X.ERR X.PRP ");
  };
  constexpr int kRounds = 25;
  std::vector<std::string> got[2];
  auto verify = [&](int job) {
    const Install& in = job == 0 ? clean : damaged;
    for (int round = 0; round < kRounds; ++round) {
      testkit::FakeContext c;
      in.prepare(c);
      if (job == 0) c.env["NDXPROBE_WRK"] = in.wrk;  // the sweep's way of naming the folder
      Findings found;
      const int status = job == 0 ? run(kIxmark3, {"X"}, c.context(), &found)
                                  : run(kIxmark, {"X"}, c.context(), &found);
      got[job].push_back(outcome(status, c, found, in.wrk));
      if (job == 1) {
        const std::string errors = testkit::readFile(in.wrk + "/X.ERR");
        got[job].back() +=
            "\nerror lines " + std::to_string(std::count(errors.begin(), errors.end(), '\n'));
        for (const char* name : {"X.DBG", "X.ERR", "X.PRP"})
          std::remove((in.wrk + "/" + name).c_str());
      }
    }
  };
  std::thread first(verify, 0), second(verify, 1);
  first.join();
  second.join();
  EXPECT_EQ(got[0], std::vector<std::string>(kRounds, want(0)));
  EXPECT_EQ(got[1], std::vector<std::string>(kRounds, want(1) + "\nerror lines 3"));
}

// A run that stops part way tells the caller how far it got.
TEST(Run, FindingsOfAStoppedRun) {
  const Install in("", "BBBB");
  testkit::FakeContext c;
  in.prepare(c);
  c.shell = [](const std::string&) { return 0; };  // a sort that leaves no sorted file
  Findings found;
  EXPECT_THROW(run(kIxmark3, {"X"}, c.context(), &found), Stop);
  EXPECT_EQ(found.entries, 5);
  EXPECT_FALSE(found.compared);
  EXPECT_NE(c.out.text().find("Error opening " + in.wrk + "/X.SRT \n"), std::string::npos);
}

}  // namespace
}  // namespace dbc::ixmark
