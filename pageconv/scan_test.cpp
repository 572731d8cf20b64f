#include "pageconv/scan.hpp"

#include <gtest/gtest.h>

#include <string>

namespace pageconv {
namespace {

// Every position in and around a word, with neighbours that could mislead a word-wide test.
TEST(Scan, FindsTheFirstMatchAtEveryPosition) {
  for (std::size_t len = 0; len < 20; ++len) {
    for (std::size_t at = 0; at <= len; ++at) {
      std::string s(len, '\x0b');  // one above the line feed, next to the others
      std::string e(len, '|');     // between the braces
      if (at < len) {
        s[at] = "\n\r\f"[at % 3];
        e[at] = "{}\\"[at % 3];
        if (at + 1 < len) s[at + 1] = '\n', e[at + 1] = '{';
      }
      EXPECT_EQ(findLineEnd(s.data(), len), at) << len << " " << at;
      EXPECT_EQ(findEscaped(e.data(), len), at) << len << " " << at;
    }
  }
  std::string high(16, '\xff');
  high[11] = '\f';
  EXPECT_EQ(findLineEnd(high.data(), high.size()), 11u);
  EXPECT_EQ(findEscaped(high.data(), high.size()), 16u);
}

}  // namespace
}  // namespace pageconv
