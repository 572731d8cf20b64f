#include "sweep/report.hpp"

#include <gtest/gtest.h>

#include "testkit/capture.hpp"

namespace dbc::sweep {
namespace {

Result make(const char* path, Verdict v) {
  return resultOf(path, Kind::kData, v, v == Verdict::kError ? "Permission denied" : "");
}

TEST(SweepReport, TheWorstVerdictDecidesTheStatus) {
  std::vector<Result> rs{make("a", Verdict::kOk)};
  EXPECT_EQ(exitStatusOf(countVerdicts(rs)), 0);
  rs.push_back(make("b", Verdict::kError));
  EXPECT_EQ(exitStatusOf(countVerdicts(rs)), 2);
  rs.push_back(make("c", Verdict::kMismatch));
  EXPECT_EQ(exitStatusOf(countVerdicts(rs)), 1);  // findings outrank what was not checked
  rs = {make("d", Verdict::kDamaged)};
  EXPECT_EQ(exitStatusOf(countVerdicts(rs)), 1);
  EXPECT_EQ(exitStatusOf(countVerdicts({})), 0);
}

TEST(SweepReport, TableInPathOrderAndQuietKeepsOnlyWhatNeedsAction) {
  Result data = resultOf("/d/B.TXT", Kind::kData, Verdict::kDamaged);
  data.size = 2048, data.records = 10, data.damaged = 3, data.deletedPercent = 12.5f;
  Result index = resultOf("/d/A.ISI", Kind::kIndex);
  index.size = 4096, index.records = 10, index.disagreements = 0;
  std::vector<Result> rs{data, index, make("/d/C.TXT", Verdict::kError)};
  sortByPath(rs);
  testkit::Capture out;
  printTable(out.file(), rs, false);
  printSummary(out.file(), countVerdicts(rs));
  const std::string text = out.text();
  EXPECT_NE(text.find("VERDICT"), std::string::npos);
  EXPECT_LT(text.find("A.ISI"), text.find("B.TXT"));
  EXPECT_NE(text.find("DAMAGED   /d/B.TXT         2048         10         3   12.50%        -"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  Permission denied\n"), std::string::npos);
  EXPECT_NE(text.find("3 files: 1 OK, 1 DAMAGED, 0 MISMATCH, 1 ERROR\n"), std::string::npos);

  testkit::Capture quiet;
  printTable(quiet.file(), rs, true);
  EXPECT_EQ(quiet.text().find("A.ISI"), std::string::npos);
  EXPECT_EQ(quiet.text().find("VERDICT"), std::string::npos);
  EXPECT_NE(quiet.text().find("B.TXT"), std::string::npos);
}

}  // namespace
}  // namespace dbc::sweep
