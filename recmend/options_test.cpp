#include "recmend/options.hpp"

#include <gtest/gtest.h>

#include "testkit/capture.hpp"

namespace dbc::recmend {
namespace {

TEST(Options, NumbersAreDigitsOnlyAndTheEmptyTextIsOne) {
  EXPECT_TRUE(is_number(""));
  EXPECT_TRUE(is_number("0123456789"));
  for (const char* no : {"-5", "+5", "1 ", " 1", "1.5", "12a", "\x80"}) {
    EXPECT_FALSE(is_number(no)) << no;
  }
  EXPECT_TRUE(valid_cmd("y"));
  EXPECT_FALSE(valid_cmd("uv"));
  EXPECT_FALSE(valid_cmd(""));
  EXPECT_FALSE(valid_cmd("a"));
}

TEST(Options, FillValueMustBePrintableAndNeverWrapsIntoRange) {
  struct Case {
    const char* value;
    Result result;
    const char* printed;
  };
  const Case cases[] = {
      {"32", Result::kOk, "Setting fill value to: 32 ( )\n"},
      {"126", Result::kOk, "Setting fill value to: 126 (~)\n"},
      {"31", Result::kFailed, "Invalid fill value specified.\n"},
      {"127", Result::kFailed, "Invalid fill value specified.\n"},
      // 2^32 + 65: taken as 32 bits it would pass as 'A'.
      {"4294967361", Result::kFailed, "Invalid fill value specified.\n"},
      {"99999999999999999999999", Result::kFailed, "Invalid fill value specified.\n"},
      {"", Result::kFailed, "Invalid fill value specified.\n"},
      {"6x", Result::kFailed, "Input is not a number.\n"},
  };
  for (const Case& c : cases) {
    Settings s;
    testkit::Capture out;
    EXPECT_EQ(set_fill_val(s, c.value, out.file()), c.result) << c.value;
    EXPECT_EQ(out.text(), c.printed) << c.value;
    EXPECT_EQ(s.FILL_VALUE, c.result == Result::kFailed ? 32 : std::atoi(c.value)) << c.value;
  }
}

TEST(Options, SizesAndPositionsSaturateLikeStrtoll) {
  Settings s;
  testkit::Capture out;
  EXPECT_EQ(set_size(s, "99999999999999999999", out.file()), Result::kOk);
  EXPECT_EQ(s.RECORD_SIZE, 9223372036854775807ULL);
  EXPECT_EQ(set_position(s, "9223372036854775807", out.file()), Result::kOk);
  EXPECT_EQ(s.RECORD_POSITION, INT64_MAX);
  EXPECT_TRUE(s.POSITION_SET);
  EXPECT_EQ(set_position(s, "-1", out.file()), Result::kFailed);
  EXPECT_EQ(s.RECORD_POSITION, INT64_MAX);
  EXPECT_EQ(out.text(),
            "Setting record size to: 9223372036854775807\n"
            "Setting record position to: 9223372036854775807\n");
}

TEST(Options, WalksApplyFlagsTwiceValuesOnceAndLaterValuesWin) {
  Settings s;
  testkit::Capture out;
  std::vector<std::string> args = {"-p", "5", "-x", "word", "-p", "7", "-d", "-u", "-", ""};
  EXPECT_FALSE(read_options(s, args, out.file()));
  EXPECT_EQ(out.text(),
            "Zero-detection mode set.\n"
            "Setting record position to: 5\n"
            "Zero-detection mode set.\n"
            "Setting record position to: 7\n"
            "DATAFILE: -u\n");
  EXPECT_EQ(s.RECORD_POSITION, 7);
  EXPECT_EQ(s.DATAFILE, "-u");
  EXPECT_FALSE(s.UPDATE_FLAG);
  EXPECT_TRUE(s.ZERO_DETECTION_FLAG);
}

TEST(Options, LongPathsAndWordsAreHeldWhole) {
  Settings s;
  testkit::Capture out;
  std::string path(5000, 'p');
  std::string word = "-" + std::string(3000, 'w');
  EXPECT_FALSE(read_options(s, {"-d", path, "-i", path}, out.file()));
  EXPECT_EQ(s.DATAFILE, path);
  EXPECT_EQ(s.INPUTFILE, path);
  Settings t;
  testkit::Capture out2;
  EXPECT_TRUE(read_options(t, {word}, out2.file()));
  std::string want = "\"";
  want += word.substr(1);
  want += "\" is not a valid command.\n";
  EXPECT_EQ(out2.text(), want);
}

}  // namespace
}  // namespace dbc::recmend
