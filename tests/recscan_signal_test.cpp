// recscan ended by SIGHUP, SIGINT or SIGTERM, sent to it alone or to its whole process group (as
// a terminal's ^C is), at many moments of a repair run: it dies of that signal, its scratch file
// /tmp/<pid>.pid is gone, and the data file holds each block either repaired or as it was, the
// repaired ones first, nothing else changed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <random>
#include <string>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

constexpr std::size_t kBlock = 65536;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

class RecscanSignals : public ::testing::Test {
 protected:
  RecscanSignals() { dir_.mkdir("qlon/dmf"); }

  // A data file of `records` records with one NUL in every block, which -f2 turns into a space.
  void makeData(std::size_t records) {
    original_ = testkit::fixedRecords(records, 120, 11);
    std::mt19937 rng(7);
    repaired_ = original_;
    for (std::size_t at = 0; at + kBlock <= original_.size(); at += kBlock) {
      std::size_t k = at + rng() % kBlock;
      if (original_[k] == '\xFA') ++k;
      original_[k] = '\0';
      repaired_[k] = ' ';
    }
  }

  // Runs recscan through the shell, which prints its process id and then becomes recscan.
  testkit::RunResult run(const testkit::Hazards& h, const std::string& path = "") {
    testkit::writeFile(data(), original_);
    testkit::Command c;
    c.program = "/bin/sh";
    c.args = {"-c", "echo $$; exec recscan -c -f2 D"};
    c.env = {{"QLON_ROOT", dir_.file("qlon")}};
    if (!path.empty()) c.env["PATH"] = path;
    c.cwd = dir_.path();
    c.timeoutSeconds = 60;
    return testkit::run(c, h);
  }
  std::string data() const { return dir_.file("D.TXT"); }

  // The scratch file of the run is gone, whatever moment the signal came.
  void expectNoScratchFile(const testkit::RunResult& r, const std::string& what) {
    std::size_t nl = r.out.find('\n');
    if (nl == std::string::npos) return;  // the shell died before it said who it was
    EXPECT_FALSE(testkit::exists("/tmp/" + r.out.substr(0, nl) + ".pid")) << what;
  }

  // How many blocks, from the first, are repaired; -1 when the file is anything else.
  long repairedBlocks() const {
    const std::string now = testkit::readFile(data());
    if (now.size() != original_.size()) return -1;
    std::size_t at = 0;
    long n = 0;
    for (; at < now.size(); at += kBlock, ++n) {
      if (now.compare(at, kBlock, repaired_, at, kBlock) != 0) break;
    }
    for (; at < now.size(); at += kBlock) {
      if (now.compare(at, kBlock, original_, at, kBlock) != 0) return -1;
    }
    return n;
  }
  long blocks() const { return static_cast<long>((original_.size() + kBlock - 1) / kBlock); }

  testkit::TempDir dir_;
  std::string original_, repaired_;
};

double now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

TEST_F(RecscanSignals, AtSeededMomentsOfARepairRun) {
  makeData(200000);  // 24 MB, some tenths of a second to check
  double start = now();
  testkit::RunResult whole = run({});
  const double took = now() - start;
  ASSERT_EQ(whole.status, 0) << whole.out << whole.err;
  ASSERT_EQ(repairedBlocks(), blocks());
  expectNoScratchFile(whole, "no signal");

  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> moment(0, took * 1.1);
  for (int i = 0; i < 15; ++i) {
    const int sig = kSignals[i % 3];
    const bool group = i % 2 == 1;
    const double at = moment(rng);
    const std::string what = "signal " + std::to_string(sig) + (group ? " to the group" : "") +
                             " after " + std::to_string(at) + " s";
    testkit::RunResult r = run(testkit::Hazards().signalAfter(sig, at, group));
    long done = repairedBlocks();
    EXPECT_GE(done, 0) << what << ": the data file is neither old nor repaired block by block";
    if (r.status == 0) {
      EXPECT_EQ(done, blocks()) << what;
    } else {
      EXPECT_EQ(r.status, 128 + sig) << what << "\n" << r.out << r.err;
    }
    expectNoScratchFile(r, what);
  }
}

// The moment the scratch file exists: while the definition is looked up. A slow grep holds the
// lookup open long enough for the signal to land inside it every time.
TEST_F(RecscanSignals, DuringTheDefinitionLookup) {
  makeData(2000);
  const std::string bin = dir_.mkdir("slowbin");
  const std::string grep = ::access("/usr/bin/grep", X_OK) == 0 ? "/usr/bin/grep" : "/bin/grep";
  testkit::writeFile(bin + "/grep", "#!/bin/sh\nsleep 0.5\nexec " + grep + " \"$@\"\n");
  ASSERT_EQ(::chmod((bin + "/grep").c_str(), 0755), 0);
  const std::string path = bin + ":" + testkit::binDir() + ":/usr/bin:/bin";
  for (int sig : kSignals) {
    for (bool group : {false, true}) {
      const std::string what = "signal " + std::to_string(sig) + (group ? " to the group" : "");
      testkit::RunResult r = run(testkit::Hazards().signalAfter(sig, 0.25, group), path);
      EXPECT_EQ(r.status, 128 + sig) << what << "\n" << r.out << r.err;
      EXPECT_TRUE(testkit::readFile(data()) == original_) << what;
      expectNoScratchFile(r, what);
    }
  }
}

}  // namespace
