#include "dbtidy/files.hpp"

#include <gtest/gtest.h>

#include "common/stop.hpp"
#include "testkit/capture.hpp"
#include "testkit/files.hpp"

namespace dbtidy {
namespace {

// A copy back that fails part way must keep the work file: it then holds the only whole copy.
TEST(CopyTempBack, FailedCopyKeepsTheWorkFile) {
  testkit::TempDir dir;
  Settings s;
  s.wkfname = dir.file("work");
  Counters c;
  testkit::Capture cap;
  Files files(s, c, cap.file());
  files.getinp("/dev/full", "");
  files.getout(nullptr, "");
  for (int i = 0; i < 3000; ++i) files.out().putline("\tMOVE A TO B");
  files.closeAll();
  EXPECT_THROW(
      {
        try {
          files.copy_temp_back();
        } catch (const dbc::Stop& stop) {
          EXPECT_EQ(stop.status, 1);
          throw;
        }
      },
      dbc::Stop);
  const std::string work = dir.file("work");
  EXPECT_EQ(cap.text(),
            "Input File : /dev/full\n"
            "Creating Temporary File : " +
                work +
                "\n"
                "Copying Back Over Original Source File\n"
                "Outputing to : /dev/full\n"
                "\nFatal Error : Copy back failed, the formatted source is kept in : " +
                work + " \n\n");
  EXPECT_EQ(testkit::readFile(work).size(), 3000u * 13u);
}

TEST(CopyTempBack, ExactBlockMultipleIsCopiedWhole) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("src"), "x\n");
  Settings s;
  s.wkfname = dir.file("work");
  Counters c;
  testkit::Capture cap;
  Files files(s, c, cap.file());
  files.getinp(dir.file("src"), "");
  files.getout(nullptr, "");
  // Eight cut lines of 1001 bytes and one of 184: two blocks of 4096 exactly.
  std::string expected;
  for (int i = 0; i < 8; ++i) {
    files.out().putline(std::string(1200, static_cast<char>('a' + i)));
    expected += std::string(1000, static_cast<char>('a' + i)) + "\n";
  }
  files.out().putline(std::string(183, 'z'));
  expected += std::string(183, 'z') + "\n";
  ASSERT_EQ(expected.size(), 8192u);
  files.closeAll();
  files.copy_temp_back();
  EXPECT_EQ(testkit::readFile(dir.file("src")), expected);
  EXPECT_FALSE(testkit::exists(dir.file("work")));
}

}  // namespace
}  // namespace dbtidy
