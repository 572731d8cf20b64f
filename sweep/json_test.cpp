#include "sweep/json.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "testkit/files.hpp"

namespace dbc::sweep {
namespace {

TEST(SweepJson, StringsStayValidWhateverAFileNameHolds) {
  EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(jsonString("tab\there\n"), "\"tab\\u0009here\\u000a\"");
  EXPECT_EQ(jsonString("K\xC3\xA4se"), "\"K\xC3\xA4se\"");  // UTF-8 as it is
  EXPECT_EQ(jsonString("K\xE4se"), "\"K\\u00e4se\"");       // a lone Latin-1 byte
  EXPECT_EQ(jsonString("\xC3"), "\"\\u00c3\"");             // a sequence cut short
  EXPECT_EQ(jsonString("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");
}

TEST(SweepJson, KeysWithoutMeaningAreLeftOut) {
  Result data = resultOf("/d/A.TXT", Kind::kData, Verdict::kDamaged);
  data.size = 100, data.records = 4, data.damaged = 2, data.deletedPercent = 1.5f;
  data.seconds = 0.25;
  Result index = resultOf("/d/A.ISI", Kind::kIndex, Verdict::kMismatch);
  index.size = 2048, index.records = 4, index.disagreements = 2;
  Result error = resultOf("/d/B.ISI", Kind::kIndex, Verdict::kError, "Error opening B");
  std::vector<Result> rs{data, index, error};
  const std::string doc = jsonDocument(rs, countVerdicts(rs), 0, 1.5);
  EXPECT_EQ(doc.find("{\"version\": 1, \"started\": \"1970-01-01T00:00:00Z\", \"seconds\": 1.500,"),
            0u)
      << doc;
  EXPECT_NE(doc.find("\"summary\": {\"ok\": 0, \"damaged\": 1, \"mismatch\": 1, \"error\": 1}"),
            std::string::npos);
  EXPECT_NE(doc.find("{\"path\": \"/d/A.TXT\", \"kind\": \"data\", \"verdict\": \"damaged\", "
                     "\"size\": 100, \"records\": 4, \"damaged_bytes\": 2, "
                     "\"deleted_percent\": 1.50, \"seconds\": 0.250}"),
            std::string::npos)
      << doc;
  EXPECT_NE(doc.find("{\"path\": \"/d/A.ISI\", \"kind\": \"index\", \"verdict\": \"mismatch\", "
                     "\"size\": 2048, \"records\": 4, \"disagreements\": 2, \"seconds\": 0.000}"),
            std::string::npos)
      << doc;
  EXPECT_NE(doc.find("{\"path\": \"/d/B.ISI\", \"kind\": \"index\", \"verdict\": \"error\", "
                     "\"seconds\": 0.000, \"reason\": \"Error opening B\"}"),
            std::string::npos)
      << doc;
}

TEST(SweepJson, WrittenWholeUnderItsNameAndNeverOverASpecialFile) {
  testkit::TempDir dir;
  std::vector<std::string> guarded;
  auto guard = [&](const std::string& t) { guarded.push_back(t); };
  std::string error;
  testkit::writeFile(dir.file("r.json"), "old");
  ASSERT_TRUE(writeJson(dir.file("r.json"), "{}\n", guard, error)) << error;
  EXPECT_EQ(testkit::readFile(dir.file("r.json")), "{}\n");
  EXPECT_EQ(testkit::listDir(dir.path()), std::vector<std::string>{"r.json"});
  ASSERT_EQ(guarded.size(), 2u);
  EXPECT_EQ(guarded[0].rfind(dir.file("r.json.tmp."), 0), 0u);  // claimed while it existed
  EXPECT_EQ(guarded[1], "");

  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(writeJson(dir.file("fifo"), "{}\n", guard, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos);
  EXPECT_FALSE(writeJson(dir.file("no/such/r.json"), "{}\n", guard, error));
  EXPECT_EQ(guarded.back(), "");
}

}  // namespace
}  // namespace dbc::sweep
