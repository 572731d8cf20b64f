// DBCSORT as the tag builders run it: both forms checked against a stable sort done here, with
// small memory budgets that force runs and merges, and every failure leaving nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "common/codec.hpp"
#include "testkit/fault.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::TempDir;

// The stable sort the tag builders expect, done on decoded texts: columns first..last, a
// shorter text cut there, bytes unsigned.
std::vector<std::size_t> stableOrder(const std::vector<std::string>& texts, std::size_t first,
                                     std::size_t last) {
  std::vector<std::string> keys;
  for (const auto& t : texts) {
    keys.push_back(t.size() < first ? std::string() : t.substr(first - 1, last - first + 1));
  }
  std::vector<std::size_t> order(texts.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  return order;
}

// A tag as ixmark writes it: block position, offset, record position, key.
std::string tag(long long block, int offset, long long pos, const std::string& key) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%12lld%12i%12lld", block, offset, pos);
  return buf + key;
}

// Tags with few distinct record positions and keys, so that many tie, and a few texts shorter
// than the key columns.
std::vector<std::string> makeTags(std::size_t n, unsigned seed, bool highBytes = false) {
  std::mt19937 gen(seed);
  std::vector<std::string> tags;
  for (std::size_t i = 0; i < n; ++i) {
    std::string key;
    for (int k = 0; k < 8; ++k) key.push_back("AB 09."[gen() % 6]);
    if (highBytes && gen() % 3 == 0) key[gen() % 8] = static_cast<char>(0xE0 + gen() % 0x18);
    std::string t = tag(1024 * (i + 1), static_cast<int>(gen() % 100), (gen() % 50) * 137, key);
    if (gen() % 25 == 0) t.resize(gen() % 40);  // cut before or inside the key columns
    tags.push_back(t);
  }
  return tags;
}

struct Sorted {
  testkit::RunResult result;
  std::string output;
};

class Dbcsort : public ::testing::Test {
 protected:
  void SetUp() override {
    // An installation that has the DB/C product's own sort builds without ours.
    if (!testkit::exists(testkit::binPath("DBCSORT"))) GTEST_SKIP() << "DBCSORT is not built";
  }
  testkit::Command command(const std::vector<std::string>& args,
                           std::map<std::string, std::string> env = {}) {
    if (!env.count("TMPDIR")) env["TMPDIR"] = tmp;
    return {"DBCSORT", args, env, dir.path(), "", 60};
  }
  testkit::RunResult sort(const std::vector<std::string>& args,
                          std::map<std::string, std::string> env = {},
                          const testkit::Hazards& hazards = {}) {
    return testkit::run(command(args, std::move(env)), hazards);
  }
  // Nothing but the files named is left in the work folder, and the run folder is empty.
  void expectOnly(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    std::vector<std::string> left = testkit::listDir(dir.path());
    left.erase(std::remove(left.begin(), left.end(), "tmp"), left.end());
    EXPECT_EQ(left, names);
    EXPECT_EQ(testkit::listDir(tmp), std::vector<std::string>{});
  }

  TempDir dir;
  std::string tmp = dir.mkdir("tmp");
};

std::string textInput(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

TEST_F(Dbcsort, TextLinesInStableKeyOrderWhateverTheBudget) {
  std::vector<std::string> tags = makeTags(3000, 1);
  testkit::writeFile(dir.file("in.tag"), textInput(tags));
  std::string expected;
  for (std::size_t i : stableOrder(tags, 25, 44)) expected += tags[i] + "\n";
  // The default budget sorts in memory; 16K makes dozens of runs and merges them in levels.
  for (std::string memory : {"", "16K", "40K", "1M"}) {
    SCOPED_TRACE(memory);
    auto r = sort({"in.tag", "out.srt", "25-44", "-T", "-M=60"}, {{"DBCSORT_MEMORY", memory}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(testkit::readFile(dir.file("out.srt")), expected);
    expectOnly({"in.tag", "out.srt"});
  }
}

TEST_F(Dbcsort, TextLastLineWithoutLineFeedAndOtherColumns) {
  testkit::writeFile(dir.file("in"), "b2\na1\nb1\nc");
  auto r = sort({"in", "out", "2-2", "-T"});
  ASSERT_EQ(r.status, 0) << r.err;
  // "c" is cut before column 2 and sorts first; the ties b1, a1 keep their order.
  EXPECT_EQ(testkit::readFile(dir.file("out")), "c\na1\nb1\nb2\n");
}

TEST_F(Dbcsort, EmptyRecordsKeepTheirPlaceAmongTies) {
  // Every record here is shorter than the key columns, so all keys tie and nothing may move.
  testkit::writeFile(dir.file("in"), "b\n\nc\n\n  \nd\n");
  for (std::string memory : {"", "16K"}) {
    auto r = sort({"in", "out", "25-30", "-T"}, {{"DBCSORT_MEMORY", memory}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testkit::readFile(dir.file("out")), "b\n\nc\n\n  \nd\n");
  }
  testkit::writeFile(dir.file("in"),
                     "b\xFA\xFA"
                     "c\xFA\xFA\xFB");
  auto r = sort({"in", "out", "25-30", "-C"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testkit::readFile(dir.file("out")),
            "b\xFA\xFA"
            "c\xFA\xFA\xFB");
}

std::string compressedFile(const std::vector<std::string>& texts, bool ichrs, char end = '\xFA') {
  std::string s;
  for (const auto& t : texts) s += dbc::encodeRecord(t, ichrs) + end;
  return s + "\xFB";
}

TEST_F(Dbcsort, CompressedRecordsKeepTheirBytesInStableKeyOrder) {
  std::vector<std::string> tags = makeTags(3000, 2);
  std::string expected;
  for (std::size_t i : stableOrder(tags, 25, 44)) {
    expected += dbc::encodeRecord(tags[i], false) + "\xFA";
  }
  expected += "\xFB";
  for (char end : {'\xFA', '\n'}) {  // a line feed ends a record too
    testkit::writeFile(dir.file("in.tag"), compressedFile(tags, false, end));
    for (std::string memory : {"", "16K", "64K"}) {
      SCOPED_TRACE(memory);
      auto r = sort({"in.tag", "out.srt", "25-44", "-C", "-M=60"}, {{"DBCSORT_MEMORY", memory}});
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(testkit::readFile(dir.file("out.srt")), expected);
      expectOnly({"in.tag", "out.srt"});
    }
  }
}

TEST_F(Dbcsort, CompressedKeysFollowTheInvalidCharacterSwitch) {
  std::vector<std::string> tags = makeTags(500, 3, true);
  testkit::writeFile(dir.file("in.tag"), compressedFile(tags, true));
  std::string expected;
  for (std::size_t i : stableOrder(tags, 25, 44))
    expected += dbc::encodeRecord(tags[i], true) + "\xFA";
  expected += "\xFB";
  testkit::writeConfig(dir.file("dbc.cfg"), {{"dbcdx.file.ichrs", "on"}});
  for (auto env : std::vector<std::map<std::string, std::string>>{
           {{"dbcdx.file.ichrs", "yes"}}, {{"DBC_CFG", dir.file("dbc.cfg")}}}) {
    auto r = sort({"in.tag", "out.srt", "25-44", "-C", "-M=60"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testkit::readFile(dir.file("out.srt")), expected);
  }
  // Without the switch the same bytes are digit pairs, and the order differs.
  auto r = sort({"in.tag", "out.srt", "25-44", "-C", "-M=60"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(testkit::readFile(dir.file("out.srt")), expected);
}

TEST_F(Dbcsort, CompressedFileWithoutEndMarkIsReadToItsEnd) {
  testkit::writeFile(dir.file("in"),
                     "b\xFA"
                     "a\xFA"
                     "c");
  auto r = sort({"in", "out", "1-1", "-C"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testkit::readFile(dir.file("out")),
            "a\xFA"
            "b\xFA"
            "c\xFA\xFB");
}

TEST_F(Dbcsort, RecordsLongerThanTheBudget) {
  std::vector<std::string> lines;
  for (int i = 0; i < 6; ++i) lines.push_back(std::string(40000, static_cast<char>('f' - i)));
  lines.push_back("short");
  testkit::writeFile(dir.file("in"), textInput(lines));
  auto r = sort({"in", "out", "1-3", "-T", "-M=80"}, {{"DBCSORT_MEMORY", "16K"}});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> sorted = lines;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(testkit::readFile(dir.file("out")), textInput(sorted));
}

TEST_F(Dbcsort, EmptyInput) {
  testkit::writeFile(dir.file("empty"), "");
  testkit::writeFile(dir.file("eofonly"), "\xFB");
  ASSERT_EQ(sort({"empty", "t.out", "25-56", "-T", "-M=76"}).status, 0);
  EXPECT_EQ(testkit::readFile(dir.file("t.out")), "");
  for (const char* in : {"empty", "eofonly"}) {
    ASSERT_EQ(sort({in, "c.out", "25-56", "-C", "-M=76"}).status, 0);
    EXPECT_EQ(testkit::readFile(dir.file("c.out")), "\xFB");
  }
}

TEST_F(Dbcsort, ReplacesAnExistingOutputAndMaySortInPlace) {
  testkit::writeFile(dir.file("in"), "2\n1\n");
  testkit::writeFile(dir.file("out"), std::string(100000, 'o'));
  ASSERT_EQ(sort({"in", "out", "1-1", "-T"}).status, 0);
  EXPECT_EQ(testkit::readFile(dir.file("out")), "1\n2\n");
  ASSERT_EQ(sort({"in", "in", "1-1", "-T"}).status, 0);
  EXPECT_EQ(testkit::readFile(dir.file("in")), "1\n2\n");
  struct stat st;
  ASSERT_EQ(stat(dir.file("out").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0044, 0u) << "a sorted file is not private";
  // A private file stays private when it is replaced.
  ASSERT_EQ(chmod(dir.file("out").c_str(), 0600), 0);
  ASSERT_EQ(sort({"in", "out", "1-1", "-T"}).status, 0);
  ASSERT_EQ(stat(dir.file("out").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  expectOnly({"in", "out"});
}

TEST_F(Dbcsort, WrongCommandLinesPrintTheUsage) {
  testkit::writeFile(dir.file("in"), "x\n");
  for (const auto& args :
       std::vector<std::vector<std::string>>{{},
                                             {"in", "out"},
                                             {"in", "out", "25-56"},
                                             {"in", "out", "56-25", "-T"},
                                             {"in", "out", "25-56", "-Q"},
                                             {"in", "out", "25-56", "-T", "-M=x"}}) {
    auto r = sort(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, "Usage: DBCSORT infile outfile first-last -T|-C [-M=maxrecord]\n");
    EXPECT_EQ(r.out, "");
  }
  auto r = sort({"in", "out", "1-1", "-T"}, {{"DBCSORT_MEMORY", "lots"}});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("DBCSORT_MEMORY"), std::string::npos) << r.err;
  expectOnly({"in"});
}

TEST_F(Dbcsort, MissingOrUnreadableInputLeavesTheOldOutput) {
  testkit::writeFile(dir.file("out"), "old\n");
  auto r = sort({"nosuch", "out", "1-1", "-T"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("nosuch"), std::string::npos) << r.err;
  dir.mkdir("adir");  // opens, but reading fails
  r = sort({"adir", "out", "1-1", "-T"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("adir"), std::string::npos) << r.err;
  EXPECT_EQ(testkit::readFile(dir.file("out")), "old\n");
  expectOnly({"adir", "out"});
}

TEST_F(Dbcsort, UnwritableOutput) {
  testkit::writeFile(dir.file("in"), "x\n");
  auto r = sort({"in", "nodir/out", "1-1", "-T"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("nodir/out"), std::string::npos) << r.err;
  expectOnly({"in"});
}

// A full disk, played by a file size limit under which writes fail with EFBIG.
TEST_F(Dbcsort, FullDiskLeavesNoPartialOutputAndNoRunFiles) {
  std::vector<std::string> tags = makeTags(3000, 4);
  testkit::writeFile(dir.file("in"), textInput(tags));
  testkit::writeFile(dir.file("out"), "old\n");
  // 64 blocks of 512 bytes: less than the input, so either the runs or the output overflow.
  for (std::string memory : {"", "16K"}) {
    SCOPED_TRACE(memory);
    testkit::Command c{"/bin/sh",
                       {"-c", "trap '' XFSZ; ulimit -f 64; exec DBCSORT in out 25-44 -T -M=60"},
                       {{"TMPDIR", tmp}, {"DBCSORT_MEMORY", memory}},
                       dir.path(),
                       "",
                       60};
    auto r = testkit::run(c);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("DBCSORT: cannot write"), std::string::npos) << r.err;
    EXPECT_EQ(testkit::readFile(dir.file("out")), "old\n");
    expectOnly({"in", "out"});
  }
}

// The type, inode and device number of what `path` names itself (a link is not followed).
struct Node {
  mode_t type = 0;
  ino_t ino = 0;
  dev_t rdev = 0;
  bool operator==(const Node&) const = default;
};
Node node(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return {};
  return {static_cast<mode_t>(st.st_mode & S_IFMT), st.st_ino, st.st_rdev};
}

TEST_F(Dbcsort, SpecialFilesAsOutputAreWrittenNeverReplaced) {
  testkit::writeFile(dir.file("in"), "b\nc\na\n");
  const std::string sorted = "a\nb\nc\n";

  // A FIFO: its reader gets the sorted lines, and it is still a FIFO afterwards.
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const Node fifo = node(dir.file("fifo"));
  auto reader = std::async(std::launch::async, [&] { return testkit::readFile(dir.file("fifo")); });
  auto r = sort({"in", "fifo", "1-1", "-T"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(reader.get(), sorted);
  EXPECT_EQ(node(dir.file("fifo")), fifo);

  // Standard output by its name, and lost there: the failure is reported.
  r = sort({"in", "/dev/stdout", "1-1", "-T"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, sorted);
  r = sort({"in", "/dev/stdout", "1-1", "-T"}, {}, testkit::Hazards().stdoutTo("/dev/full"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "DBCSORT: cannot write output file /dev/stdout: No space left on device\n");

  // A link to a regular file: the link stays, the file it names gets the output, cut to its
  // length, and the input may be that very file.
  testkit::writeFile(dir.file("target"), std::string(1000, 'o'));
  ASSERT_EQ(symlink("target", dir.file("link").c_str()), 0);
  r = sort({"in", "link", "1-1", "-T"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(node(dir.file("link")).type, S_IFLNK);
  EXPECT_EQ(testkit::readFile(dir.file("target")), sorted);
  testkit::writeFile(dir.file("target"), "2\n3\n1\n");
  r = sort({"link", "link", "1-1", "-T"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testkit::readFile(dir.file("target")), "1\n2\n3\n");
  // Far more than the output's buffer: every record is taken before the first is written over.
  std::vector<std::string> many = makeTags(60000, 12);
  std::string want;
  for (std::size_t i : stableOrder(many, 25, 44)) want += many[i] + "\n";
  testkit::writeFile(dir.file("target"), textInput(many));
  r = sort({"link", "link", "25-44", "-T"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(testkit::readFile(dir.file("target")) == want);

  // A folder, and a link that leads nowhere, are refused and left as they are.
  dir.mkdir("folder");
  ASSERT_EQ(symlink("nowhere", dir.file("dangling").c_str()), 0);
  for (const char* out : {"folder", "dangling"}) {
    const Node before = node(dir.file(out));
    r = sort({"in", out, "1-1", "-T"});
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_EQ(r.err.rfind(std::string("DBCSORT: cannot open output file ") + out + ": ", 0), 0u)
        << r.err;
    EXPECT_EQ(node(dir.file(out)), before) << out;
  }
  expectOnly({"dangling", "fifo", "folder", "in", "link", "target"});
}

TEST_F(Dbcsort, DevicesAsOutputAreWrittenNeverReplaced) {
  testkit::writeFile(dir.file("in"), "b\na\n");
  if (geteuid() != 0) {
    // Only root could replace a device, and only root can make one to try it on; the system's
    // own /dev/null is safe from anyone else, so it serves.
    const Node null = node("/dev/null");
    auto r = sort({"in", "/dev/null", "1-1", "-T"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(node("/dev/null"), null);
    GTEST_SKIP() << "not running as root: the copy of /dev/null that root would make was not tried";
  }
  // Root's copy of /dev/null, made here: the system's own is never put at risk.
  if (mknod(dir.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "mknod is not allowed here: " << std::strerror(errno);
  }
  const Node null = node(dir.file("null"));
  ASSERT_EQ(null.type, S_IFCHR);
  ASSERT_EQ(symlink("null", dir.file("tonull").c_str()), 0);
  for (const char* out : {"null", "tonull"}) {
    auto r = sort({"in", out, "1-1", "-T"});
    EXPECT_EQ(r.status, 0) << out << r.err;
    EXPECT_EQ(node(dir.file("null")), null) << out;
    EXPECT_EQ(node(dir.file("tonull")).type, S_IFLNK) << out;
  }
  expectOnly({"in", "null", "tonull"});
}

TEST_F(Dbcsort, LongestOutputNamesHaveTemporariesThatFit) {
  std::vector<std::string> tags = makeTags(2000, 5);
  testkit::writeFile(dir.file("in"), textInput(tags));
  std::string expected;
  for (std::size_t i : stableOrder(tags, 25, 44)) expected += tags[i] + "\n";
  // Run files in the output's folder too: without TMPDIR, with a budget that needs them.
  for (std::size_t length : {250u, 255u}) {
    const std::string name(length, 'n');
    for (std::string tmpdir : {tmp, std::string()}) {
      auto r = sort({"in", name, "25-44", "-T"}, {{"TMPDIR", tmpdir}, {"DBCSORT_MEMORY", "16K"}});
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(testkit::readFile(dir.file(name)), expected);
      expectOnly({"in", name});
    }
    std::remove(dir.file(name).c_str());
  }
}

TEST_F(Dbcsort, InputFromAPipe) {
  auto r =
      testkit::run({"DBCSORT", {"/dev/stdin", "out", "1-1", "-T"}, {}, dir.path(), "b\na\n", 60});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testkit::readFile(dir.file("out")), "a\nb\n");
}

// SIGTERM, SIGINT or SIGHUP at any moment of a sort that needs run files, by one thread and by
// several: afterwards no temporary file and no run file is left, and the output is the old file
// or the whole sorted one.
TEST_F(Dbcsort, SignalsAtAnyMomentLeaveNoTemporaryFiles) {
  std::vector<std::string> tags = makeTags(100000, 6);
  testkit::writeFile(dir.file("in"), textInput(tags));
  std::string expected;
  for (std::size_t i : stableOrder(tags, 25, 44)) expected += tags[i] + "\n";
  const std::vector<std::string> args{"in", "out", "25-44", "-T", "-M=60"};
  // The input is some 70 times the smaller budget (dozens of runs, merged in two levels) and
  // some 14 times the larger one, which leaves room for three threads.
  for (const auto& [memory, threads, seed] : {std::tuple{"64K", "1", 16u}, {"400K", "3", 17u}}) {
    SCOPED_TRACE(std::string(threads) + " threads");
    const std::map<std::string, std::string> env{{"DBCSORT_MEMORY", memory},
                                                 {"DBCSORT_THREADS", threads}};
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(sort(args, env).status, 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(testkit::readFile(dir.file("out")), expected);

    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> moment(0, seconds * 1.1);
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    int killed = 0;
    for (int i = 0; i < 18; ++i) {
      const int sig = signals[i % 3];
      const double at = moment(gen);
      SCOPED_TRACE("signal " + std::to_string(sig) + " after " + std::to_string(at) + " s");
      testkit::writeFile(dir.file("out"), "old\n");
      auto e = env;
      if (i % 2) e["TMPDIR"] = "";  // run files beside the output
      auto r = sort(args, e, testkit::Hazards().signalAfter(sig, at));
      ASSERT_TRUE(r.status == 0 || r.status == 128 + sig) << r.status << r.err;
      killed += r.status != 0;
      const std::string out = testkit::readFile(dir.file("out"));
      EXPECT_TRUE(out == (r.status == 0 ? expected : "old\n") || out == expected)
          << out.size() << " bytes";
      expectOnly({"in", "out"});
    }
    EXPECT_GE(killed, 9) << "the signals came too late to test anything";
  }
}

TEST_F(Dbcsort, ClosedStandardDescriptorsNeverReachTheFiles) {
  std::vector<std::string> tags = makeTags(3000, 7);
  const std::string input = textInput(tags);
  std::string expected;
  for (std::size_t i : stableOrder(tags, 25, 44)) expected += tags[i] + "\n";
  for (const std::vector<int>& closed :
       std::vector<std::vector<int>>{{0}, {1}, {2}, {0, 1}, {1, 2}, {0, 1, 2}}) {
    SCOPED_TRACE(::testing::PrintToString(closed));
    testkit::Hazards h;
    for (int fd : closed) h.close(fd);
    testkit::writeFile(dir.file("in"), input);
    auto r = sort({"in", "out", "25-44", "-T", "-M=60"}, {{"DBCSORT_MEMORY", "16K"}}, h);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(testkit::readFile(dir.file("out")), expected);
    EXPECT_EQ(testkit::readFile(dir.file("in")), input);
    // A failure's message has nowhere to go, but it must not go into a file.
    r = sort({"in", "nodir/out", "25-44", "-T"}, {}, h);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(testkit::readFile(dir.file("in")), input);
    expectOnly({"in", "out"});
  }
  // Nothing of a sort goes to standard output, so a full one loses nothing.
  auto r = sort({"in", "out", "25-44", "-T"}, {}, testkit::Hazards().stdoutTo("/dev/full"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testkit::readFile(dir.file("out")), expected);
}

// A read that fails, of the input or of a run file, at any point: the sort stops with a message
// and the old output stays; it never takes the failure for the end of the data.
TEST_F(Dbcsort, ReadErrorsStopTheSort) {
  std::vector<std::string> tags = makeTags(3000, 8);
  testkit::writeFile(dir.file("in"), textInput(tags));
  std::string expected;
  for (std::size_t i : stableOrder(tags, 25, 44)) expected += tags[i] + "\n";
  for (std::string memory : {"", "16K"}) {
    for (int nth : {1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233}) {
      SCOPED_TRACE(memory + " read " + std::to_string(nth));
      testkit::writeFile(dir.file("out"), "old\n");
      testkit::Command c =
          command({"in", "out", "25-44", "-T", "-M=60"}, {{"DBCSORT_MEMORY", memory}});
      testkit::inject(c, {"read", nth, false, "EIO"});
      auto r = testkit::run(c);
      if (r.status == 0) {
        EXPECT_EQ(testkit::readFile(dir.file("out")), expected);
      } else {
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("DBCSORT: cannot read "), std::string::npos) << r.err;
        EXPECT_EQ(testkit::readFile(dir.file("out")), "old\n");
      }
      expectOnly({"in", "out"});
    }
  }
  // The output cannot be synced before its rename: the old one stays.
  testkit::writeFile(dir.file("out"), "old\n");
  testkit::Command c = command({"in", "out", "25-44", "-T"});
  testkit::inject(c, {"fsync", 1, false, "EIO"});
  auto r = testkit::run(c);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "DBCSORT: cannot write output file out: Input/output error\n");
  EXPECT_EQ(testkit::readFile(dir.file("out")), "old\n");
  expectOnly({"in", "out"});
}

// Any number of threads gives the bytes one thread gives: inputs with many equal keys (so that
// stability shows), in both forms, 8 times the smallest budget (many runs, merged in two levels
// with 7 threads), within a larger one (held in several chunks and merged from memory) and well
// within the largest (one chunk, its sort shared between the threads).
TEST_F(Dbcsort, ThreadsGiveTheSameBytesAsOne) {
  std::vector<std::string> tags = makeTags(200000, 9);
  // Columns 25-38 are the record position and two key characters: some 1800 distinct keys.
  std::string text;
  std::string compressed;
  for (std::size_t i : stableOrder(tags, 25, 38)) {
    text += tags[i] + "\n";
    compressed += dbc::encodeRecord(tags[i], false) + "\xFA";
  }
  compressed += "\xFB";
  testkit::writeFile(dir.file("in.txt"), textInput(tags));
  testkit::writeFile(dir.file("in.cmp"), compressedFile(tags, false));
  ASSERT_GE(testkit::readFile(dir.file("in.txt")).size(), std::size_t{8} << 20);
  for (const auto& [form, in, expected] :
       {std::tuple{"-T", "in.txt", &text}, {"-C", "in.cmp", &compressed}}) {
    for (std::string memory : {"1M", "12M", "64M"}) {
      for (std::string threads : {"1", "2", "3", "7"}) {
        SCOPED_TRACE(std::string(form) + " " + memory + ", " + threads + " threads");
        auto r = sort({in, "out", "25-38", form, "-M=60"},
                      {{"DBCSORT_MEMORY", memory}, {"DBCSORT_THREADS", threads}});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(testkit::readFile(dir.file("out")) == *expected);
        expectOnly({"in.txt", "in.cmp", "out"});
      }
    }
  }
}

TEST_F(Dbcsort, TinyAndEmptyInputsWithThreads) {
  struct Case {
    const char* form;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"-T", "", ""},
      {"-T", "b\n", "b\n"},
      {"-T", "b\na", "a\nb\n"},
      {"-T", "x\n\nx\n", "\nx\nx\n"},
      {"-C", "", "\xFB"},
      {"-C", "\xFB", "\xFB"},
      {"-C", "b\xFA\xFB", "b\xFA\xFB"},
      {"-C",
       "b\xFA"
       "a\xFA\xFB",
       "a\xFA"
       "b\xFA\xFB"},
  };
  for (const Case& c : cases) {
    for (std::string threads : {"2", "7"}) {
      for (std::string memory : {"", "1M"}) {
        SCOPED_TRACE(std::string(c.form) + " " + ::testing::PrintToString(c.in) + ", " + threads +
                     " threads, memory " + memory);
        testkit::writeFile(dir.file("in"), c.in);
        auto r = sort({"in", "out", "1-1", c.form},
                      {{"DBCSORT_MEMORY", memory}, {"DBCSORT_THREADS", threads}});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(testkit::readFile(dir.file("out")), c.out);
        expectOnly({"in", "out"});
      }
    }
  }
}

// DBCSORT_THREADS as a user of a sort utility expects: empty is unset, a count above what the
// budget or the machine allows is cut down, anything but a whole number from 1 up is refused
// before any file is touched.
TEST_F(Dbcsort, ThreadCountSetting) {
  testkit::writeFile(dir.file("in"), "b\na\n");
  for (std::string threads : {"", "1", "64", "100000"}) {
    SCOPED_TRACE(threads);
    auto r = sort({"in", "out", "1-1", "-T"}, {{"DBCSORT_THREADS", threads}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testkit::readFile(dir.file("out")), "a\nb\n");
  }
  for (std::string threads : {"0", "-1", "two", "2x", " 2"}) {
    SCOPED_TRACE(threads);
    testkit::writeFile(dir.file("out"), "old\n");
    auto r = sort({"in", "out", "1-1", "-T"}, {{"DBCSORT_THREADS", threads}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "DBCSORT: DBCSORT_THREADS is not a number of threads such as 4: " + threads + "\n");
    EXPECT_EQ(testkit::readFile(dir.file("out")), "old\n");
    expectOnly({"in", "out"});
  }
}

// The peak resident memory of one DBCSORT run, in bytes, taken from the kernel's account of the
// child; -1 when it did not end with status 0.
long peakMemory(const std::vector<std::string>& args, const std::vector<std::string>& env,
                const std::string& cwd) {
  std::vector<char*> argv;
  std::string program = testkit::binPath("DBCSORT");
  argv.push_back(program.data());
  std::vector<std::string> a = args;
  for (auto& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  std::vector<std::string> e = env;
  std::vector<char*> envp;
  for (auto& s : e) envp.push_back(s.data());
  envp.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) == 0) ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss * 1024L;
}

// Threads share the budget, they do not each take one: on an input 8 times the budget the peak
// memory stays within the budget, beyond what the program needs to sort a handful of records.
TEST_F(Dbcsort, MemoryStaysWithinTheBudgetWhateverTheThreads) {
  std::vector<std::string> tags = makeTags(400000, 10);
  testkit::writeFile(dir.file("big"), textInput(tags));
  testkit::writeFile(dir.file("small"), textInput(makeTags(100, 11)));
  const long budget = 2L << 20;
  ASSERT_GE(static_cast<long>(testkit::readFile(dir.file("big")).size()), 8 * budget);
  // The sanitizers' allocator would otherwise hold freed memory back for a while.
  const std::vector<std::string> base{"TMPDIR=" + tmp, "ASAN_OPTIONS=quarantine_size_mb=0"};
  auto with = [&](std::string memory, std::string threads) {
    std::vector<std::string> env = base;
    env.push_back("DBCSORT_MEMORY=" + memory);
    env.push_back("DBCSORT_THREADS=" + threads);
    return env;
  };
  const long floor = peakMemory({"small", "out", "25-44", "-T"}, with("16K", "1"), dir.path());
  ASSERT_GT(floor, 0);
  for (long threads : {1, 2, 7}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    const long peak = peakMemory({"big", "out", "25-44", "-T", "-M=60"},
                                 with("2M", std::to_string(threads)), dir.path());
    ASSERT_GT(peak, 0);
    // The budget, the output's buffer (a 16th of it, kept apart from the sort's share), and
    // for each thread its stack and its allocator's cache.
    EXPECT_LE(peak - floor, budget + budget / 16 + threads * (512L << 10))
        << "peak " << peak / 1024 << " KiB, " << floor / 1024 << " KiB for a handful of records";
  }
}

}  // namespace
