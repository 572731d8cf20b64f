#include "pageconv/scan.hpp"

#include <gtest/gtest.h>

#include <string>

namespace dbc::pageconv {
namespace {

// Every position in and around a word, with neighbours that could mislead a word-wide test.
TEST(Scan, FindsTheFirstMatchAtEveryPosition) {
  for (std::size_t len = 0; len < 20; ++len) {
    for (std::size_t at = 0; at <= len; ++at) {
      std::string s(len, '\x0b');  // one above the line feed, next to the others
      std::string e(len, '|');     // between the braces
      if (at < len) {
        s[at] = "\n\r\f"[at % 3];
        e[at] = "{}\\\x1f\x7f\x80\xff\0"[at % 8];
        if (at + 1 < len) s[at + 1] = '\n', e[at + 1] = '{';
      }
      EXPECT_EQ(findLineEnd(s.data(), len), at) << len << " " << at;
      EXPECT_EQ(findEscaped(e.data(), len), at) << len << " " << at;
    }
  }
  std::string high(16, '\xff');
  high[11] = '\f';
  EXPECT_EQ(findLineEnd(high.data(), high.size()), 11u);
}

// Each byte value on its own, amid tabs and the bytes closest to the escaped ranges, which the
// search must pass over without stopping.
TEST(Scan, EscapesExactlyTheBytesAReaderCannotTakeAsText) {
  const std::string neighbours = "\t ~_|[]az09";
  for (int v = 0; v < 256; ++v) {
    unsigned char c = static_cast<unsigned char>(v);
    bool want = c == '{' || c == '}' || c == '\\' || c >= 0x7f || (c < 0x20 && c != '\t');
    std::string text;
    for (int i = 0; i < 5; ++i) text += neighbours;
    text[37] = static_cast<char>(c);
    EXPECT_EQ(findEscaped(text.data(), text.size()), want ? 37u : text.size()) << v;
  }
}

}  // namespace
}  // namespace dbc::pageconv
