#include "sweep/datacheck.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "recscan/run.hpp"
#include "testkit/context.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace dbc::sweep {
namespace {

class SweepDataCheck : public ::testing::Test {
 protected:
  Result check(const std::string& path) {
    std::atomic<std::int64_t> done{0};
    DataCheck c;
    c.dmfdir = dir_.file("dmf");
    c.scratch = dir_.file("scratch");
    Result r = checkData(path, c, fake_.context(), done, stop_);
    if (r.verdict != Verdict::kError) {
      EXPECT_EQ(done.load(), *r.size);
    }
    return r;
  }
  // recscan's own summary line for the file: name records chksum eofcnt errcnt.errcnt2 ichcnt
  // delsiz delpct filsiz ... (fields 1 to 9 here: 0 to 8)
  std::vector<std::string> summary(const std::string& path) {
    testkit::FakeContext fake;
    EXPECT_EQ(recscan::run({path, "-s"}, fake.context()), 0);
    std::istringstream in(fake.out.text());
    std::vector<std::string> fields;
    for (std::string f; in >> f;) fields.push_back(f);
    return fields;
  }
  testkit::TempDir dir_;
  testkit::FakeContext fake_;
  std::atomic<bool> stop_{false};
};

TEST_F(SweepDataCheck, FiguresAreRecscansSummaryFigures) {
  testkit::DataFile dbc;
  dbc.record("CUSTOMER 1").raw(std::string("BAD\0BYTE\x01", 9)).record("").deleted(40);
  dbc.raw("\x85\x90").record("HIGH").record(std::string("A\xFF", 2)).eof();
  const std::string text = testkit::textFile({"one", "two\x7F\x7F", std::string("t\0", 2)}, true);
  for (const std::string& bytes : {dbc.bytes(), text, testkit::fixedRecords(3000, 90, 5)}) {
    const std::string path = dir_.file("DATA.TXT");
    testkit::writeFile(path, bytes);
    Result r = check(path);
    std::vector<std::string> s = summary(path);
    ASSERT_GE(s.size(), 9u);
    EXPECT_EQ(std::to_string(*r.records), s[1]);
    EXPECT_EQ(std::to_string(*r.damaged), s[4].substr(0, s[4].find('.')));
    char pct[32];
    std::snprintf(pct, sizeof pct, "%3.2f%%", static_cast<double>(*r.deletedPercent));
    EXPECT_EQ(pct, s[7]);
    EXPECT_EQ(std::to_string(*r.size), s[8]);
    EXPECT_EQ(r.verdict, *r.damaged > 0 ? Verdict::kDamaged : Verdict::kOk);
  }
}

TEST_F(SweepDataCheck, ReadOnlyAndTheDefinitionLookedUpThroughTheContext) {
  const std::string path = dir_.file("CUST01.TXT");
  const std::string bytes = testkit::DataFile().record(std::string("X\0", 2)).eof().bytes();
  testkit::writeFile(path, bytes);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  Result r = check(path);
  EXPECT_EQ(r.verdict, Verdict::kDamaged);
  EXPECT_EQ(*r.damaged, 1);
  EXPECT_EQ(testkit::readFile(path), bytes);
  ASSERT_EQ(fake_.commands.size(), 2u);  // two passes, as recscan makes them
  EXPECT_NE(fake_.commands[0].find("grep \"CUST\" "), std::string::npos) << fake_.commands[0];
  EXPECT_NE(fake_.commands[0].find(dir_.file("scratch")), std::string::npos);
  EXPECT_FALSE(testkit::exists(dir_.file("scratch")));
}

TEST_F(SweepDataCheck, WhatCannotBeCheckedIsAnErrorWithItsReason) {
  Result r = check(dir_.file("GONE.TXT"));
  EXPECT_EQ(r.verdict, Verdict::kError);
  EXPECT_EQ(r.reason, "No such file or directory");
  EXPECT_FALSE(r.records);
  testkit::writeFile(dir_.file("D.TXT"), testkit::fixedRecords(10, 10, 1));
  stop_ = true;
  r = check(dir_.file("D.TXT"));
  EXPECT_EQ(r.verdict, Verdict::kError);
  EXPECT_EQ(r.reason, "stopped");
}

}  // namespace
}  // namespace dbc::sweep
