#include "dbtidy/files.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "common/stop.hpp"
#include "testkit/context.hpp"
#include "testkit/files.hpp"

namespace dbc::dbtidy {
namespace {

int stopStatus(const std::function<void()>& f) {
  try {
    f();
  } catch (const dbc::Stop& stop) {
    return stop.status;
  }
  return -1;
}

// An update in place of a one-line source through the work file "work", both in a fresh folder.
class CopyTempBack : public ::testing::Test {
 protected:
  CopyTempBack() {
    testkit::writeFile(src, "x\n");
    s.wkfname = work;
  }
  std::unique_ptr<Files> startUpdate() {
    auto files = std::make_unique<Files>(s, c, fake.context());
    files->getinp(src, "");
    files->getout(nullptr, "");
    return files;
  }

  testkit::TempDir dir;
  const std::string src = dir.file("src"), work = dir.file("work");
  Settings s;
  Counters c;
  testkit::FakeContext fake;
};

// A copy back that cannot rewrite the source must keep the work file, whole: it then holds the
// only formatted copy. The run's end must not take it away either.
TEST_F(CopyTempBack, ASourceThatCannotBeRewrittenKeepsTheWholeWorkFile) {
  {
    std::unique_ptr<Files> files = startUpdate();
    for (int i = 0; i < 3000; ++i) files->out().putline("\tMOVE A TO B");
    files->closeAll();
    ASSERT_EQ(std::rename(src.c_str(), dir.file("moved").c_str()), 0);
    dir.mkdir("src");
    EXPECT_EQ(stopStatus([&] { files->copy_temp_back(); }), 1);
  }
  EXPECT_EQ(fake.out.text(), "Input File : " + src + "\nCreating Temporary File : " + work +
                                 "\nCopying Back Over Original Source File\n"
                                 "\nFatal Error : Unable to re-open Original Source file : " +
                                 src + " \n");
  EXPECT_EQ(testkit::readFile(work).size(), 3000u * 13u);
}

// Whatever ends a run before its copy back, its unfinished work file goes with it.
TEST_F(CopyTempBack, AnUnfinishedWorkFileGoesWithTheRun) {
  {
    std::unique_ptr<Files> files = startUpdate();
    files->out().putline("\tMOVE A TO B");
    ASSERT_TRUE(testkit::exists(work));
  }
  EXPECT_FALSE(testkit::exists(work));
  EXPECT_EQ(testkit::readFile(src), "x\n");
}

TEST_F(CopyTempBack, ExactBlockMultipleIsCopiedWhole) {
  std::unique_ptr<Files> files = startUpdate();
  // Eight cut lines of 1001 bytes and one of 184: two blocks of 4096 exactly.
  std::string expected;
  for (int i = 0; i < 8; ++i) {
    files->out().putline(std::string(1200, static_cast<char>('a' + i)));
    expected += std::string(1000, static_cast<char>('a' + i)) + "\n";
  }
  files->out().putline(std::string(183, 'z'));
  expected += std::string(183, 'z') + "\n";
  ASSERT_EQ(expected.size(), 8192u);
  files->closeAll();
  files->copy_temp_back();
  EXPECT_EQ(testkit::readFile(src), expected);
  EXPECT_FALSE(testkit::exists(work));
}

// An update waits for every other run on the source; a run that only reads it waits for an
// update alone. Past the wait's bound the run gives up before it has written anything.
TEST(SourceLock, AnUpdateWaitsForEveryRunAndAReaderOnlyForAnUpdate) {
  testkit::TempDir dir;
  const std::string src = dir.file("src");
  testkit::writeFile(src, "x\n");
  struct Case {
    int held;
    UpdateMode up_in_place;
    bool waits;
  };
  for (Case k :
       {Case{LOCK_SH, UpdateMode::kInPlace, true}, Case{LOCK_EX, UpdateMode::kInPlace, true},
        Case{LOCK_SH, UpdateMode::kOutputFile, false},
        Case{LOCK_EX, UpdateMode::kOutputFile, true}}) {
    dbc::Fd other = dbc::openFile(src, O_RDONLY);
    ASSERT_EQ(::flock(other.get(), k.held), 0);
    Settings s;
    s.up_in_place = k.up_in_place;
    Counters c;
    testkit::FakeContext fake;
    Files files(s, c, fake.context());
    files.setLockWait(0.2);
    int status = stopStatus([&] { files.getinp(src, ""); });
    if (k.waits) {
      EXPECT_EQ(status, 1);
      EXPECT_EQ(fake.out.text(),
                "Input File : " + src + "\nWaiting for another run on : " + src +
                    "\n\nSource file in use by another run, left unchanged : " + src + "\n\n");
    } else {
      EXPECT_EQ(status, -1);
      EXPECT_EQ(fake.out.text(), "Input File : " + src + "\n");
    }
  }
  EXPECT_EQ(testkit::readFile(src), "x\n");
  EXPECT_EQ(testkit::listDir(dir.path()), std::vector<std::string>{"src"});
}

}  // namespace
}  // namespace dbc::dbtidy
