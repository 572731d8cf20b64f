// dbtidy off the happy path: signals at any moment of an update in place, two runs on one source,
// special files where a file is expected, closed or lost standard descriptors, failed syncs. Every
// case checks the bytes of the source afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "testkit/fault.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::exists;
using testkit::Hazards;
using testkit::readFile;
using testkit::RunResult;
using testkit::writeFile;
using Env = std::map<std::string, std::string>;
using Args = std::vector<std::string>;

const char* const kSource = " if (a = 1)\n move\tb to c\n endif\n";
const char* const kFormatted = "\tif (a = 1)\n\t\tmove b to c\n\tendif\n";

// A DB/C source of about `bytes` bytes in which formatting changes every line but the comments.
std::string makeSource(std::size_t bytes) {
  std::string s;
  char b[200];
  for (int i = 0; s.size() < bytes; ++i) {
    std::snprintf(b, sizeof b,
                  "L%d FORM 5\n IF (A = %d)\n move\tb to c\n LOOP\n  x = y + %d\n REPEAT\n"
                  " ENDIF\n. comment %d\n",
                  i, i, i, i);
    s += b;
  }
  return s;
}

struct stat statOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

// The work file a run named on its "Creating Temporary File" line; empty when it named none.
std::string workFileNamed(const std::string& out) {
  const std::string tag = "Creating Temporary File : ";
  std::size_t at = out.find(tag);
  if (at == std::string::npos) return "";
  at += tag.size();
  return out.substr(at, out.find('\n', at) - at);
}

bool says(const RunResult& r, const std::string& text) {
  return r.out.find(text) != std::string::npos;
}

double secondsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

class DbtidySafety : public ::testing::Test {
 protected:
  testkit::Command command(Args args, Env env = {}) {
    env.emplace("TMPDIR", tmp);
    return {"dbtidy", std::move(args), env, dir.path(), "", 60};
  }
  RunResult run(Args args, Env env = {}, const Hazards& h = {}) {
    return testkit::run(command(std::move(args), std::move(env)), h);
  }
  RunResult runWith(Args args, const testkit::Fault& fault) {
    testkit::Command c = command(std::move(args));
    testkit::inject(c, fault);
    return testkit::run(c);
  }
  // What a run with `options` makes of `text`, written to a named output.
  std::string formatted(const std::string& text, const Args& options = {}) {
    writeFile(file("fmt.in"), text);
    Args args{"fmt.in", "fmt.out", "-O"};
    args.insert(args.end(), options.begin(), options.end());
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.out;
    return readFile(file("fmt.out"));
  }
  std::string file(const std::string& name) { return dir.file(name); }
  bool tmpEmpty() { return testkit::listDir(tmp).empty(); }

  testkit::TempDir dir;
  std::string tmp = dir.mkdir("tmp");
};

enum Left { kOld, kNew, kTorn };

// SIGTERM, SIGINT and SIGHUP at a seeded set of moments spread over a run that updates a
// multi-megabyte source: the source is its old or its new text, whole, every time, and no work
// file is left. Half the runs go on a slow disk (every write waits), where the copy back takes a
// good part of the run instead of a few milliseconds, so that moments inside it are hit. SIGKILL
// at such moments may tear the source: it must then be recoverable as the manual says, from the
// work file the run named.
TEST_F(DbtidySafety, ASignalAtAnyMomentOfAnUpdateLeavesTheSourceWhole) {
  const std::string old = makeSource(2 << 20);
  const std::string want = formatted(old);
  ASSERT_NE(want, old);
  const std::string src = file("BIG.PRG");
  const testkit::Fault slowDisk{"write", 1, true, "ENOSPC", 500};
  struct Moment {
    int sig;
    double at;
    bool slowed;
  };
  std::vector<Moment> moments;
  std::mt19937 rng(16);
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  for (bool slowed : {false, true}) {
    // How long a whole run takes, to spread the moments over it.
    writeFile(src, old);
    testkit::Command c = command({"BIG.PRG"});
    if (slowed) testkit::inject(c, slowDisk);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(testkit::run(c).status, 0);
    std::uniform_real_distribution<double> anywhere(0, secondsSince(t0) * 1.1);
    ASSERT_EQ(readFile(src), want);
    for (int i = 0; i < 12; ++i) moments.push_back({signals[i % 3], anywhere(rng), slowed});
    if (slowed) {
      for (int i = 0; i < 8; ++i) moments.push_back({SIGKILL, anywhere(rng), true});
    }
  }

  const ino_t ino = statOf(src).st_ino;
  int left[3] = {0, 0, 0}, heldOff = 0, torn = 0;
  for (std::size_t i = 0; i < moments.size(); ++i) {
    const Moment m = moments[i];
    SCOPED_TRACE("signal " + std::to_string(m.sig) + " after " + std::to_string(m.at) + "s" +
                 (m.slowed ? " on a slow disk" : ""));
    Args args{"BIG.PRG"};
    const bool named = i % 4 == 3;  // a work file named with -F is removed the same way
    if (named) args.push_back("-Fwork.tmp");
    writeFile(src, old);  // rewritten in place: the inode stays
    testkit::Command c = command(args);
    if (m.slowed) testkit::inject(c, slowDisk);
    RunResult r = testkit::run(c, Hazards{}.signalAfter(m.sig, m.at, i % 5 == 4));
    const std::string now = readFile(src);
    const Left l = now == old ? kOld : now == want ? kNew : kTorn;
    ++left[l];
    EXPECT_EQ(statOf(src).st_ino, ino);
    EXPECT_TRUE(r.status == 0 || r.status == 128 + m.sig) << r.status;
    if (r.status == 0) {
      EXPECT_EQ(l, kNew);
    }
    std::string work = workFileNamed(r.out);
    if (named) work = file(work);
    const bool copying = says(r, "Copying Back Over Original Source File\n");
    if (m.sig == SIGKILL) {
      torn += l == kTorn;
      if (!copying) {
        EXPECT_EQ(l, kOld);
      }
      // The recovery the manual gives: once the copy back has begun, a work file still there
      // holds the whole formatted text and goes back over the source; before, the source is
      // untouched and a work file left is only a part.
      if (copying && exists(work)) {
        EXPECT_EQ(readFile(work), want);
        writeFile(src, readFile(work));
        EXPECT_EQ(readFile(src), want);
      } else {
        EXPECT_NE(l, kTorn);
      }
      if (!work.empty()) std::filesystem::remove(work);
      continue;
    }
    EXPECT_NE(l, kTorn);
    // Ended by the signal after the copy back had begun: the signal waited for its end.
    heldOff += r.status == 128 + m.sig && copying;
    EXPECT_TRUE(tmpEmpty());
    EXPECT_FALSE(exists(file("work.tmp")));
  }
  std::printf(
      "source left old %d, new %d, torn %d times (SIGKILL only: %d); %d signals waited "
      "for a copy back to end\n",
      left[kOld], left[kNew], left[kTorn], torn, heldOff);
}

// Two updates at once (an editor hook and a script) are serialised by the lock on the source: the
// result is one run's formatting of the other's, never a mixture. A run that only reads the
// source meanwhile formats one of its whole states.
TEST_F(DbtidySafety, RunsOnOneSourceAtOnceNeverTearIt) {
  const std::string old = makeSource(1 << 20);
  const Args a{"-I3"}, b{"-I7", "-2"};
  const std::string fa = formatted(old, a), fb = formatted(old, b);
  const std::string ab = formatted(fa, b), ba = formatted(fb, a);
  ASSERT_NE(ab, ba);
  std::vector<std::string> views;
  for (const std::string* s : {&old, &fa, &fb, &ab, &ba}) views.push_back(formatted(*s));
  int waited = 0;
  for (int round = 0; round < 4; ++round) {
    writeFile(file("SRC.PRG"), old);
    Args runA{"SRC.PRG"}, runB{"SRC.PRG"};
    runA.insert(runA.end(), a.begin(), a.end());
    runB.insert(runB.end(), b.begin(), b.end());
    std::vector<RunResult> rs = testkit::runTogether(
        {command(runA), command(runB), command({"SRC.PRG", "READ.OUT", "-O"})});
    for (const RunResult& r : rs) {
      EXPECT_EQ(r.status, 0) << r.out;
      waited += says(r, "Waiting for another run on : SRC.PRG\n");
    }
    const std::string now = readFile(file("SRC.PRG"));
    EXPECT_TRUE(now == ab || now == ba) << "round " << round;
    const std::string read = readFile(file("READ.OUT"));
    EXPECT_NE(std::find(views.begin(), views.end(), read), views.end()) << "round " << round;
    EXPECT_TRUE(tmpEmpty());
  }
  std::printf("%d of 12 runs waited for another\n", waited);
}

TEST_F(DbtidySafety, AnUpdateWaitsWhileAnotherRunHoldsTheSource) {
  writeFile(file("SRC.PRG"), kSource);
  int held = ::open(file("SRC.PRG").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_SH), 0);
  std::thread release([held] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ::close(held);
  });
  auto t0 = std::chrono::steady_clock::now();
  RunResult r = run({"SRC.PRG"});
  const double took = secondsSince(t0);
  release.join();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_GE(took, 0.9);
  EXPECT_TRUE(says(r, "Input File : SRC.PRG\nWaiting for another run on : SRC.PRG\n")) << r.out;
  EXPECT_EQ(readFile(file("SRC.PRG")), kFormatted);
}

// A device, FIFO, folder or link named as the work file (on the command line or in DBTIDY_OPTS)
// is refused before anything is written, and stays as it was.
TEST_F(DbtidySafety, AWorkFileThatIsNoRegularFileIsRefusedAndKept) {
  writeFile(file("SRC.PRG"), kSource);
  ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0600), 0);
  dir.mkdir("folder");
  ASSERT_EQ(::symlink("/dev/null", file("null.lnk").c_str()), 0);
  writeFile(file("target"), "keep\n");
  ASSERT_EQ(::symlink("target", file("file.lnk").c_str()), 0);
  for (std::string name : {"fifo", "folder", "null.lnk", "file.lnk", "/dev/null"}) {
    const std::string path = name[0] == '/' ? name : file(name);
    const struct stat was = statOf(path);
    for (bool fromEnv : {false, true}) {
      SCOPED_TRACE(name + (fromEnv ? " from DBTIDY_OPTS" : " on the command line"));
      RunResult r = fromEnv ? run({"SRC.PRG"}, {{"DBTIDY_OPTS", "-F" + name}})
                            : run({"SRC.PRG", "-F" + name});
      EXPECT_EQ(r.status, 1);
      EXPECT_TRUE(says(r, "Input File : SRC.PRG\n\nWork file : " + name +
                              " \nis not a regular file, refused\n\n"))
          << r.out;
      EXPECT_FALSE(says(r, "Creating Temporary File"));
      EXPECT_EQ(readFile(file("SRC.PRG")), kSource);
      const struct stat is = statOf(path);
      EXPECT_EQ(is.st_mode, was.st_mode);
      EXPECT_EQ(is.st_ino, was.st_ino);
      EXPECT_EQ(is.st_rdev, was.st_rdev);
    }
  }
  EXPECT_EQ(readFile(file("target")), "keep\n");
  EXPECT_TRUE(tmpEmpty());
}

// As root a work file dbtidy took for its own would be removed, device node and all; as an output
// a device is written to where it is.
TEST_F(DbtidySafety, ADeviceNodeIsNeverTakenAsWorkFileNorReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a device node with mknod";
  const std::string dev = file("null.dev");
  if (::mknod(dev.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "mknod refused here: " << std::strerror(errno);
  }
  writeFile(file("SRC.PRG"), kSource);
  const struct stat was = statOf(dev);
  RunResult r = run({"SRC.PRG", "-F" + dev});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, "\nWork file : " + dev + " \nis not a regular file, refused\n\n")) << r.out;
  EXPECT_EQ(readFile(file("SRC.PRG")), kSource);
  r = run({"SRC.PRG", "null.dev"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, "\nOutput File : null.dev \nAlready Exists !! \n\n")) << r.out;
  r = run({"SRC.PRG", "null.dev", "-O"});
  EXPECT_EQ(r.status, 0) << r.out;
  const struct stat is = statOf(dev);
  EXPECT_TRUE(S_ISCHR(is.st_mode));
  EXPECT_EQ(is.st_ino, was.st_ino);
  EXPECT_EQ(is.st_rdev, was.st_rdev);
  EXPECT_EQ(readFile(file("SRC.PRG")), kSource);
  EXPECT_TRUE(tmpEmpty());
}

// An output that is a FIFO or standard output gets the formatted text and stays what it is; an
// existing one is refused without -O, without waiting for a writer to come.
TEST_F(DbtidySafety, ASpecialFileAsOutputIsWrittenWhereItIs) {
  writeFile(file("SRC.PRG"), kSource);
  const std::string fifo = file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  RunResult r = run({"SRC.PRG", "fifo"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, "\nOutput File : fifo \nAlready Exists !! \n\n")) << r.out;

  std::string got;
  std::thread reader([&] {
    int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) got.append(buf, n);
    ::close(fd);
  });
  r = run({"SRC.PRG", "fifo", "-O"});
  // Should the run have failed before opening it, the reader still gets its end of file.
  if (int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); w >= 0) ::close(w);
  reader.join();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(got, kFormatted);
  EXPECT_TRUE(S_ISFIFO(statOf(fifo).st_mode));

  r = run({"SRC.PRG", "/dev/stdout", "-O"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(says(r, kFormatted)) << r.out;

  dir.mkdir("folder");
  r = run({"SRC.PRG", "folder", "-O"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, "\nUnable to Create Output File : folder\n\n")) << r.out;
  EXPECT_EQ(readFile(file("SRC.PRG")), kSource);
}

// A folder or a file that fails to read is reported as one that cannot be opened, never read as
// an empty file, and nothing waits for ever: not a FIFO with no writer, not an endless device.
TEST_F(DbtidySafety, AFolderOrUnreadableFileIsReportedNeverTakenAsEmpty) {
  writeFile(file("SRC.PRG"), kSource);
  dir.mkdir("folder");
  ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0600), 0);
  const std::string noPath = "No Source Path\n";
  struct Case {
    std::string envfile;
    bool reported;
  };
  for (const Case& c :
       {Case{file("none"), true}, Case{file("folder"), true}, Case{"/proc/self/mem", true},
        Case{"/dev/zero", true}, Case{file("fifo"), false}}) {
    SCOPED_TRACE(c.envfile);
    for (bool filepath : {false, true}) {
      Env env{{"DBC_ENVFILE", c.envfile}};
      if (filepath) env["DBC_FILEPATH"] = dir.path();
      RunResult r = run({"SRC.PRG", "OUT.PRG", "-O"}, env);
      std::string said =
          c.reported ? "\nError : Unable to open dbc environment file : " + c.envfile + " \n" : "";
      said += filepath ? "Using DBC_FILEPATH from Environment : " + dir.path() + "\n" : noPath;
      EXPECT_EQ(r.status, 0) << r.out;
      EXPECT_TRUE(says(r, "Overwrite Enabled\n" + said)) << r.out;
      EXPECT_EQ(readFile(file("OUT.PRG")), kFormatted);
    }
  }

  std::filesystem::remove(file("OUT.PRG"));
  RunResult r = run({"folder", "OUT.PRG"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, noPath + "\nUnable to open input file : folder\n\n")) << r.out;
  EXPECT_FALSE(exists(file("OUT.PRG")));
  r = run({"folder"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, noPath + "\nUnable to open input file : folder\n\n")) << r.out;
  // A FIFO cannot be written back over itself; opening it would wait for a writer.
  r = run({"fifo"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, noPath + "\nUnable to update in place, not a regular file : fifo\n\n"))
      << r.out;
  EXPECT_TRUE(tmpEmpty());
}

// With a standard descriptor closed, the next file opened would take its number, and the run's
// messages would land in the source or the output.
TEST_F(DbtidySafety, ClosedStandardDescriptorsNeverLeadIntoTheSource) {
  for (const std::vector<int>& closed : std::vector<std::vector<int>>{{0}, {1}, {2}, {0, 1, 2}}) {
    Hazards h;
    for (int fd : closed) h.close(fd);
    SCOPED_TRACE("closed " + std::to_string(closed.size()) + " from " + std::to_string(closed[0]));
    writeFile(file("SRC.PRG"), kSource);
    RunResult r = run({"SRC.PRG"}, {}, h);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(file("SRC.PRG")), kFormatted);
    EXPECT_TRUE(tmpEmpty());

    writeFile(file("SRC.PRG"), kSource);
    r = run({"SRC.PRG", "OUT.PRG", "-O"}, {}, h);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(file("SRC.PRG")), kSource);
    EXPECT_EQ(readFile(file("OUT.PRG")), kFormatted);
  }
}

// A run whose messages are lost says so with status 1; the work file's name, which the messages
// would have given, reaches standard error instead.
TEST_F(DbtidySafety, ALostStandardOutputIsReportedWithStatus1) {
  writeFile(file("SRC.PRG"), kSource);
  RunResult r = run({"SRC.PRG"}, {}, Hazards{}.stdoutTo("/dev/full"));
  EXPECT_EQ(r.status, 1);
  const std::string work = workFileNamed(r.err);
  EXPECT_EQ(work.rfind(tmp + "/dbtidy", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("dbtidy: write error on standard output"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(file("SRC.PRG")), kFormatted);
  EXPECT_TRUE(tmpEmpty());

  writeFile(file("SRC.PRG"), kSource);
  r = run({"SRC.PRG", "OUT.PRG", "-O"}, {}, Hazards{}.stdoutTo("/dev/full"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("dbtidy: write error on standard output", 0), 0u) << r.err;
  EXPECT_EQ(readFile(file("OUT.PRG")), kFormatted);
  EXPECT_EQ(readFile(file("SRC.PRG")), kSource);
}

// The work file is synced, entry included, before the source is cut, and the source before the
// work file goes: a sync that fails at either point costs neither text.
TEST_F(DbtidySafety, AFailedSyncOrReadCostsNeitherText) {
  const std::string old = makeSource(100000);
  const std::string want = formatted(old);
  for (int nth : {1, 2}) {  // the work file, then its folder
    writeFile(file("SRC.PRG"), old);
    RunResult r = runWith({"SRC.PRG"}, {"fsync", nth, false, "EIO"});
    EXPECT_EQ(r.status, 1) << nth;
    EXPECT_TRUE(says(r, "\nError writing output file : " + workFileNamed(r.out) +
                            "\n\nOriginal Source File left unchanged : SRC.PRG\n"))
        << r.out;
    EXPECT_FALSE(says(r, "Copying Back"));
    EXPECT_EQ(readFile(file("SRC.PRG")), old);
    EXPECT_TRUE(tmpEmpty());
  }

  writeFile(file("SRC.PRG"), old);
  RunResult r = runWith({"SRC.PRG"}, {"fsync", 3, false, "EIO"});
  EXPECT_EQ(r.status, 1);
  const std::string work = workFileNamed(r.out);
  EXPECT_TRUE(says(
      r, "\nFatal Error : Copy back failed, the formatted source is kept in : " + work + " \n\n"))
      << r.out;
  EXPECT_EQ(readFile(work), want);
  std::filesystem::remove(work);

  // A partial work file named with -F is removed as well: it could pass for the formatted text.
  writeFile(file("SRC.PRG"), old);
  r = runWith({"SRC.PRG", "-Fwork.tmp"}, {"write", 1});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r, "Original Source File left unchanged : SRC.PRG\n")) << r.out;
  EXPECT_FALSE(exists(file("work.tmp")));
  EXPECT_EQ(readFile(file("SRC.PRG")), old);

  r = runWith({"SRC.PRG"}, {"read", 1, false, "EIO"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(says(r,
                   "\nError reading input file : SRC.PRG\n\n"
                   "Original Source File left unchanged : SRC.PRG\n"))
      << r.out;
  EXPECT_EQ(readFile(file("SRC.PRG")), old);
  EXPECT_TRUE(tmpEmpty());
}

}  // namespace
