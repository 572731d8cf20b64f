// dbcsweep ended by SIGHUP, SIGINT or SIGTERM, sent to it alone or to its whole process group (as
// a terminal's ^C is), at seeded moments of a sweep: it dies of that signal, no work folder or
// work file is left in the work volume, no command it started lives on, and every data and index
// file is byte for byte what it was.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <thread>

#include "testkit/files.hpp"
#include "testkit/installation.hpp"
#include "testkit/runner.hpp"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

double now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Processes other than this one whose command line names `text`.
int processesNaming(const std::string& text) {
  int n = 0;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return 0;
  while (const dirent* e = ::readdir(proc)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9' || std::atoi(e->d_name) == ::getpid()) continue;
    std::string cmdline;
    try {
      cmdline = testkit::readFile(std::string("/proc/") + e->d_name + "/cmdline");
    } catch (...) {
      continue;  // gone meanwhile
    }
    if (cmdline.find(text) != std::string::npos) ++n;
  }
  ::closedir(proc);
  return n;
}

class SweepSignals : public ::testing::Test {
 protected:
  SweepSignals() : in_(testkit::buildInstallation(dir_.path(), {.pairs = 24, .records = 1500})) {
    snapshot_ = testkit::regularFiles(in_);
  }
  testkit::RunResult sweep(const testkit::Hazards& h, const std::string& path = "") {
    testkit::Command c{"dbcsweep",  {"-j", "2"}, {{"DBC_CFG", in_.config}, {"QLON_ROOT", in_.qlon}},
                       dir_.path(), "",          300};
    if (!path.empty()) c.env["PATH"] = path;
    return testkit::run(c, h);
  }
  void expectNothingLeft(const std::string& what) {
    // The commands are stopped before the sweep dies; allow their last breath.
    for (int i = 0; i < 40 && processesNaming(in_.wrk) > 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(processesNaming(in_.wrk), 0) << what << ": a command of the sweep lives on";
    EXPECT_EQ(testkit::listDir(in_.wrk), std::vector<std::string>{}) << what;
    EXPECT_TRUE(testkit::regularFiles(in_) == snapshot_)
        << what << ": a data or index file changed";
  }
  testkit::TempDir dir_;
  testkit::Installation in_;
  std::map<std::string, std::string> snapshot_;
};

TEST_F(SweepSignals, AtSeededMomentsOfASweep) {
  const double start = now();
  testkit::RunResult whole = sweep({});
  const double took = now() - start;
  ASSERT_EQ(whole.status, 1) << whole.out << whole.err;
  expectNothingLeft("no signal");

  std::mt19937 rng(20261209);
  std::uniform_real_distribution<double> moment(0, took * 1.1);
  for (int i = 0; i < 12; ++i) {
    const int sig = kSignals[i % 3];
    const bool group = i % 2 == 1;
    const double at = moment(rng);
    const std::string what = "signal " + std::to_string(sig) + (group ? " to the group" : "") +
                             " after " + std::to_string(at) + " s of " + std::to_string(took);
    testkit::RunResult r = sweep(testkit::Hazards().signalAfter(sig, at, group));
    if (r.status != 1) {
      EXPECT_EQ(r.status, 128 + sig) << what << "\n" << r.out << r.err;
    }
    expectNothingLeft(what);
  }
}

// While DBCSORT runs: a slow one holds every index check there long enough for the signal to land
// with sorts under way each time.
TEST_F(SweepSignals, WhileTheSortsRun) {
  const std::string bin = dir_.mkdir("slowbin");
  testkit::writeFile(bin + "/DBCSORT",
                     "#!/bin/sh\nsleep 1\nexec " + testkit::binPath("DBCSORT") + " \"$@\"\n");
  ASSERT_EQ(::chmod((bin + "/DBCSORT").c_str(), 0755), 0);
  const std::string path = bin + ":" + testkit::binDir() + ":/usr/bin:/bin";
  for (int sig : kSignals) {
    for (bool group : {false, true}) {
      const std::string what = "signal " + std::to_string(sig) + (group ? " to the group" : "");
      testkit::RunResult r = sweep(testkit::Hazards().signalAfter(sig, 0.6, group), path);
      EXPECT_EQ(r.status, 128 + sig) << what << "\n" << r.out << r.err;
      expectNothingLeft(what);
    }
  }
}

}  // namespace
