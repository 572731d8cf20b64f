// seqnext as its callers use it: the number on standard output, the counter file, the exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <thread>

#include "common/io.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

class Seqnext : public ::testing::Test {
 protected:
  testkit::RunResult seqnext(std::vector<std::string> args = {}) {
    return testkit::run({"seqnext", std::move(args), env, dir.path(), "", 30});
  }
  void configure(const testkit::Settings& s) {
    env["DBC_CFG"] = dir.file("dbc.cfg");
    testkit::writeConfig(env["DBC_CFG"], s);
  }

  testkit::TempDir dir;
  std::map<std::string, std::string> env;
};

// One call on a counter file: what it prints, its status, and the file after it.
TEST_F(Seqnext, IncrementsTheFieldAndLeavesTheRestUntouched) {
  const std::string ctr = dir.file("counter"), overflow = "Sequence number overflow in " + ctr;
  const struct {
    const char* name;
    std::string before, out;
    int status;
    std::string after;
  } rows[] = {
      {"a field and more lines", "         9 invoices\nsecond line\n", "        10\n", 0,
       "        10 invoices\nsecond line\n"},
      {"spaces only", std::string(10, ' ') + "\xff\x01", "         1\n", 0, "         1\xff\x01"},
      // Exactly ten bytes is enough, and the counter keeps counting past 32 bits.
      {"past 32 bits", "2147483647", "2147483648\n", 0, "2147483648"},
      {"past 32 bits again", "2147483648", "2147483649\n", 0, "2147483649"},
      {"short file hands out nothing", "        7", "", 0, "        7"},
      {"the last number", "9999999998 tail", "9999999999\n", 0, "9999999999 tail"},
      {"overflow is refused", "9999999999 tail", overflow + "\n", 1, "9999999999 tail"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    testkit::writeFile(ctr, row.before);
    testkit::RunResult r = seqnext({ctr});
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(testkit::readFile(ctr), row.after);
  }
}

TEST_F(Seqnext, WithoutOperandTakesSerialFromTheSearchPath) {
  std::string a = dir.mkdir("a"), b = dir.mkdir("b");
  testkit::writeFile(b + "/SERIAL.TXT", "       100\n");
  testkit::writeFile(dir.file("SERIAL.TXT"), "         1\n");  // not on the search path
  configure({{"dbcdx.file.open", a + ";" + b}});
  EXPECT_EQ(seqnext().out, "       101\n");
  EXPECT_EQ(testkit::readFile(b + "/SERIAL.TXT"), "       101\n");
  EXPECT_EQ(testkit::readFile(dir.file("SERIAL.TXT")), "         1\n");
}

TEST_F(Seqnext, OperandIsAPathFirstThenADbcName) {
  std::string vol = dir.mkdir("vol"), open = dir.mkdir("open");
  testkit::writeFile(vol + "/ORDERS.TXT", "        50");
  testkit::writeFile(open + "/ORDERS.TXT", "        70");
  testkit::writeFile(dir.file("ORDERS"), "        90");  // a plain path in the working folder
  configure({{"dbcdx.file.vol.sales", vol}, {"dbcdx.file.open", open}});

  EXPECT_EQ(seqnext({"ORDERS"}).out, "        91\n");
  EXPECT_EQ(seqnext({"ORDERS:sales"}).out, "        51\n");
  // Not a path: the name's own extension gives way to TXT, found along the search path.
  EXPECT_EQ(seqnext({"ORDERS.DAT"}).out, "        71\n");
  EXPECT_EQ(testkit::readFile(vol + "/ORDERS.TXT"), "        51");
  EXPECT_EQ(testkit::readFile(open + "/ORDERS.TXT"), "        71");
  EXPECT_EQ(testkit::readFile(dir.file("ORDERS")), "        91");
}

TEST_F(Seqnext, OpenFailuresEndWithStatusOne) {
  testkit::RunResult r = seqnext();
  EXPECT_EQ(r.out, "Error opening SERIAL.TXT\n");
  EXPECT_EQ(r.status, 1);
  // Without a search path the working folder is not tried.
  testkit::writeFile(dir.file("SERIAL.TXT"), "         1\n");
  EXPECT_EQ(seqnext().status, 1);

  r = seqnext({"no/such counter"});
  EXPECT_EQ(r.out, "Error opening no/such counter\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(testkit::exists(dir.file("no")));

  // An unset volume and no search path: nothing found, nothing created.
  r = seqnext({"NEW:none"});
  EXPECT_EQ(r.out, "Error opening NEW:none\n");
  EXPECT_FALSE(testkit::exists(dir.file("NEW.TXT")));
}

TEST_F(Seqnext, GivesUpQuietlyWhenTheLockStaysTaken) {
  std::string ctr = dir.file("counter");
  testkit::writeFile(ctr, "        41\n");
  dbc::Fd holder = dbc::openFile(ctr, O_RDWR);
  ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
  testkit::RunResult r = seqnext({ctr});
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += "sleep\n";
  EXPECT_EQ(r.out, ten);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(testkit::readFile(ctr), "        41\n");
  holder.reset();
  EXPECT_EQ(seqnext({ctr}).out, "        42\n");
}

TEST_F(Seqnext, ConcurrentCallersNeverShareANumber) {
  constexpr int kCallers = 16, kEach = 25;
  std::string ctr = dir.file("counter");
  testkit::writeFile(ctr, "         0 shared\n");
  // Four hundred starts: the leak check at each exit of a sanitizer build would dominate the run.
  env["ASAN_OPTIONS"] = "detect_leaks=0";
  std::vector<testkit::RunResult> results(kCallers);
  std::vector<std::thread> callers;
  std::string loop = "i=0; while [ $i -lt " + std::to_string(kEach) +
                     " ]; do seqnext \"$1\" || exit 1; i=$((i+1)); done";
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&, c] {
      results[c] = testkit::run({"/bin/sh", {"-c", loop, "sh", ctr}, env, dir.path(), "", 60});
    });
  }
  for (auto& t : callers) t.join();

  std::vector<long long> numbers;
  int timedOut = 0;
  for (const auto& r : results) {
    ASSERT_EQ(r.status, 0) << r.out;
    std::istringstream lines(r.out);
    int sleeps = 0;
    for (std::string line; std::getline(lines, line);) {
      if (line == "sleep") {
        // A call that gets the lock on its last attempt has printed nine; ten mean it gave up.
        if (++sleeps == 10) ++timedOut, sleeps = 0;
        continue;
      }
      ASSERT_EQ(line.size(), 10u) << line;
      numbers.push_back(std::stoll(line));
      sleeps = 0;
    }
    EXPECT_EQ(sleeps, 0);
  }
  std::sort(numbers.begin(), numbers.end());
  ASSERT_EQ(numbers.size() + timedOut, static_cast<std::size_t>(kCallers * kEach));
  for (std::size_t i = 0; i < numbers.size(); ++i) ASSERT_EQ(numbers[i], i + 1);
  char field[16];
  std::snprintf(field, sizeof field, "%10zu", numbers.size());
  EXPECT_EQ(testkit::readFile(ctr), std::string(field) + " shared\n");
  if (timedOut) std::printf("%d of %d calls timed out\n", timedOut, kCallers * kEach);
}

}  // namespace
