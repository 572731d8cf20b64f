#include "pageconv/convert.hpp"

#include <gtest/gtest.h>

namespace pageconv {
namespace {

using namespace std::string_literals;

std::string converted(std::string_view in, std::size_t piece = std::string_view::npos) {
  std::string out;
  Converter c(out);
  for (std::size_t i = 0; i < in.size(); i += piece) {
    std::string_view part = in.substr(i, piece);
    c.feed(part.data(), part.size());
  }
  c.finish();
  return out;
}

TEST(Converter, SetUpStringExampleAfterItsSkip) {
  // What is left of the example once the set-up string before its carriage return is skipped.
  std::string in = "\r\nAB{C}\r\n\fD\r\n";
  std::string want = "\\par \n\\par AB\\{C\\}\n\\par \\page\n\fD\n}\n";
  for (std::size_t piece : {std::string_view::npos, std::size_t{1}, std::size_t{2}}) {
    EXPECT_EQ(converted(in, piece), want) << piece;
  }
}

TEST(Converter, EscapesBracesAndBackslashes) {
  EXPECT_EQ(converted("A\\B\n{x}\n\\\\\n"), "\\par A\\\\B\n\\par \\{x\\}\n\\par \\\\\\\\\n}\n");
}

TEST(Converter, OtherBytesPassUnchanged) {
  std::string in = "\t\x01\x1b(s3B\x7f\xe9\xff\0z\n"s;
  EXPECT_EQ(converted(in), "\\par " + in + "}\n");
}

TEST(Converter, EmptyLinesAndDroppedText) {
  EXPECT_EQ(converted(""), "}\n");
  EXPECT_EQ(converted("\n\n"), "\\par \n\\par \n}\n");
  // The paragraph mark is out as soon as a line starts; its text waits for the line feed.
  EXPECT_EQ(converted("A\nno line feed"), "\\par A\n\\par }\n");
  // Text that no line feed ended gives way to the page break.
  EXPECT_EQ(converted("A\nlost\fB\n"), "\\par A\n\\par \\page\n\fB\n}\n");
  EXPECT_EQ(converted("\f\f\n"), "\\par \\page\n\\page\n\f\n}\n");
}

TEST(Converter, OverprintKeepsWhatBlanksLeaveAndReplacesTheRest) {
  EXPECT_EQ(converted("ABC\r   X\n"), "\\par ABCX\n}\n");
  EXPECT_EQ(converted("ABC\r___\n"), "\\par ___\n}\n");
  EXPECT_EQ(converted("ABCDEF\r _\r   x\n"), "\\par A_CxEF\n}\n");
  EXPECT_EQ(converted("\rAB\n"), "\\par AB\n}\n");  // a line may start with its return
  // A form feed ends overprinting; the next line starts fresh.
  EXPECT_EQ(converted("AB\r__\fC\n"), "\\par \\page\n\fC\n}\n");
}

TEST(Converter, OverprintWorksInPrintColumnsAndStaysEscaped) {
  // Escapes are added on the way out, so a column holds one print byte and an overprinted
  // brace or backslash can neither appear bare nor split an escape.
  EXPECT_EQ(converted("{A\r B\n"), "\\par \\{B\n}\n");
  EXPECT_EQ(converted("AB\r{\\}\n"), "\\par \\{\\\\\\}\n}\n");
  EXPECT_EQ(converted("A{B\r   X\n"), "\\par A\\{BX\n}\n");
  EXPECT_EQ(converted("{}\r_\n"), "\\par _\\}\n}\n");
}

TEST(Converter, LongLinesStayWhole) {
  std::string line(5000, 'x');
  line[4000] = '{';
  std::string want = line;
  want.insert(4000, "\\");
  EXPECT_EQ(converted(line + "\n", 1024), "\\par " + want + "\n}\n");
  EXPECT_EQ(converted(line + "\r" + std::string(4999, ' ') + "Y\n", 777),
            "\\par " + want.substr(0, want.size() - 1) + "Y\n}\n");
}

}  // namespace
}  // namespace pageconv
