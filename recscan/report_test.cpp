#include "recscan/report.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace dbc::recscan {
namespace {

std::string capture(void (*print)(std::FILE*, const Scanner&, const ReportFacts&), const Scanner& s,
                    const ReportFacts& f) {
  char* buf = nullptr;
  std::size_t len = 0;
  std::FILE* out = open_memstream(&buf, &len);
  print(out, s, f);
  std::fclose(out);
  std::string text(buf, len);
  std::free(buf);
  return text;
}

TEST(Report, DformatGroupsOfThree) {
  EXPECT_EQ(dformat(0), "0");
  EXPECT_EQ(dformat(999), "999");
  EXPECT_EQ(dformat(1000), "1,000");
  EXPECT_EQ(dformat(1234567), "1,234,567");
  EXPECT_EQ(dformat(2500000), "2,500,000");
  EXPECT_EQ(dformat(999999999999), "999,999,999,999");
  // Wider than the twelve places the format always had: still grouped correctly.
  EXPECT_EQ(dformat(1234567890123), "1,234,567,890,123");
  EXPECT_EQ(dformat(12345678901234567), "12,345,678,901,234,567");
}

TEST(Report, NformatUnits) {
  EXPECT_EQ(nformat(0, false), "");
  EXPECT_EQ(nformat(1, false), "1");
  EXPECT_EQ(nformat(1023, false), "1023");
  EXPECT_EQ(nformat(1024, false), "1.00k");
  EXPECT_EQ(nformat(2500000, false), "2.38m");
  EXPECT_EQ(nformat(1073741824, false), "1.00g");
  EXPECT_EQ(nformat(std::int64_t{5} << 40, false), "5120.00g");
  EXPECT_EQ(nformat(2500000, true), "2,500,000");
  EXPECT_EQ(nformat(0, true), "0");
}

// A scan's counters as a report sees them, under `set`.
Scanner sample(const Settings& set) {
  Scanner s(set);
  s.filsiz = 1000;
  s.filsiz2 = 600;
  s.reccnt = 12;
  s.minsiz = 3;
  s.maxsiz = 70;
  s.fstsiz = 5;
  s.delsiz = 3;
  s.eofcnt = 1;
  s.errcnt = 4;
  s.errcnt2 = 1;
  s.ichcnt = 2;
  s.chksum = 65535;
  s.offset = true;
  return s;
}

Settings definition(Compression cmpflg1) {
  Settings set;
  set.dmf = Dmf{cmpflg1, 28};
  return set;
}

TEST(Report, ReadableReportWithCompressionBlock) {
  Settings set = definition(Compression::kNotConfigured);
  set.cmpflg = true;
  ReportFacts f;
  f.filnam = "CUST.TXT";
  f.filtyp = FileType::kDbc;
  EXPECT_EQ(capture(printReport, sample(set), f),
            "records=12, max size=70, min size=3, compressed=No, deleted=Yes\n"
            "     filsiz=1000, eofcnt=1, delsiz=3 (0.30%)\n"
            "     errcnt=4.1, ichcnt=2 offset=1 dmflen=28 dmfcmp=No runtim=0.0 min\n"
            "\n"
            "     Uncompressed filesize = 1,000  (1000)\n"
            "       Compressed filesize = 600  (600)\n"
            "       Compression savings = 400  (400) 40.00%\n");
}

TEST(Report, NothingFoundAndNoEstimate) {
  Settings set;
  set.cmpflg = true;
  Scanner s(set);
  ReportFacts f;
  f.runtim = 1.26;
  EXPECT_EQ(capture(printReport, s, f),
            "records=0, max size=-1, min size=-1, compressed=No, deleted=No\n"
            "     filsiz=, eofcnt=0, delsiz= (0.00%)\n"
            "     errcnt=0.0, ichcnt=0 offset=0 dmflen=0 dmfcmp=No runtim=1.3 min\n"
            "\n"
            "     Uncompressed filesize = 0  ()\n"
            "       Compressed filesize = 0  ()\n"
            "       Compression savings = 0  () 0.00%\n");
  Scanner t(set);
  t.filsiz = 2500000;
  t.cmpflg2 = CompressionSeen::kYes;
  std::string text = capture(printReport, t, ReportFacts{});
  EXPECT_NE(text.find("compressed=Yes"), std::string::npos);
  EXPECT_NE(text.find("       Compressed filesize = 0  ()\n"), std::string::npos);
  EXPECT_NE(text.find("savings = 2,500,000  (2.38m) 100.00%\n"), std::string::npos);
}

TEST(Report, SummaryLineFields) {
  const Settings set = definition(Compression::kConfigured);
  ReportFacts f;
  f.filnam = "CUST.TXT";
  f.filtyp = FileType::kDbc;
  EXPECT_EQ(capture(printSummary, sample(set), f),
            "CUST.TXT 12 65535 1 4.1 2 3 0.30% 1000 3 70 -1 1 28 1 5 1\n");
}

}  // namespace
}  // namespace dbc::recscan
