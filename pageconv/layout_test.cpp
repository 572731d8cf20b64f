#include "pageconv/layout.hpp"

#include <gtest/gtest.h>

namespace pageconv {
namespace {

using namespace std::string_literals;

TEST(SetupOffset, SkipsTheSetUpStringUpToItsCarriageReturn) {
  EXPECT_EQ(setupOffset("\x1b(s0p16.67h8.5v0s0b0T\r\nTEXT\r\n"), 21u);
  EXPECT_EQ(setupOffset("TEXT\r\n"), 0u);
  EXPECT_EQ(setupOffset(""), 0u);
  EXPECT_EQ(setupOffset("\x1b&l1O no carriage return\n"), 0u);
  EXPECT_EQ(setupOffset("\x1b&l1O\0\r\n"s), 0u);  // the search ends at a NUL
  std::string late = "\x1b" + std::string(1023, 'x') + "\r\n";
  EXPECT_EQ(setupOffset(late), 0u);  // only the first 1024 bytes count
  late.erase(1, 1);
  EXPECT_EQ(setupOffset(late), 1023u);
}

Measure measured(std::string_view text, std::size_t piece = std::string_view::npos) {
  Measure m;
  for (std::size_t i = 0; i < text.size(); i += piece) {
    std::string_view part = text.substr(i, piece);
    m.feed(part.data(), part.size());
  }
  return m;
}

TEST(Measure, LinesEndAtLineFeedsAndCarriageReturnsOnly) {
  std::string text = "12345\r1234567\n\f123\f45678\n" + std::string(50, 'y');
  for (std::size_t piece : {std::string_view::npos, std::size_t{1}, std::size_t{3}}) {
    Measure m = measured(text, piece);
    // The form feeds stand inside the line "\f123\f45678" without counting: eight bytes. The
    // unended last line does not count at all.
    EXPECT_EQ(m.linmax(), 8) << piece;
    EXPECT_EQ(m.pagmax(), 1) << piece;
  }
}

TEST(Measure, PagesCountOnlyUpToTheLastFormFeed) {
  EXPECT_EQ(measured("a\nb\nc\n").pagmax(), 0);
  EXPECT_EQ(measured("a\nb\n\fc\n\fd\ne\nf\n").pagmax(), 2);
  EXPECT_EQ(measured("").linmax(), 0);
}

TEST(ChooseLayout, FontSizeSteps) {
  struct Case {
    int linmax, orient, fntsiz;
  };
  for (Case c : {Case{0, 0, 24},
                 {78, 0, 24},
                 {79, 0, 20},
                 {89, 0, 20},
                 {90, 1, 19},
                 {99, 1, 19},
                 {100, 1, 18},
                 {134, 1, 18},
                 {135, 1, 16},
                 {149, 1, 16},
                 {150, 1, 15},
                 {100000, 1, 15}}) {
    Layout l = chooseLayout(c.linmax, 0);
    EXPECT_EQ(l.orient, c.orient) << c.linmax;
    EXPECT_EQ(l.fntsiz, c.fntsiz) << c.linmax;
    EXPECT_EQ(l.paperw, c.orient ? 15840 : 12240) << c.linmax;
    EXPECT_EQ(l.paperh, c.orient ? 12240 : 15840) << c.linmax;
  }
}

TEST(ChooseLayout, LineSpacingInLandscapeOnly) {
  EXPECT_EQ(chooseLayout(120, 55).linspc, 200);
  EXPECT_EQ(chooseLayout(120, 56).linspc, 180);
  EXPECT_EQ(chooseLayout(120, 0).linspc, 200);
  EXPECT_EQ(chooseLayout(80, 100).linspc, 0);
}

TEST(Header, LandscapeExample) {
  EXPECT_EQ(header(chooseLayout(120, 60)),
            "{\\rtf1\\ansi\\ansicpg1252\\uc1\\margl720\\margr360\\margt360\\margb360\\landscape"
            "\\paperw15840\\paperh12240{\\fonttbl\\f0\\fmodern\\fcharset0\\fprq1\n"
            "{\\*\\panose 02070309020205020404}Courier New;}\n"
            "\\fs18\\sl-180\n");
}

TEST(Header, PortraitHasNoSpacing) {
  EXPECT_EQ(header(chooseLayout(0, 0)),
            "{\\rtf1\\ansi\\ansicpg1252\\uc1\\margl720\\margr360\\margt360\\margb360"
            "\\paperw12240\\paperh15840{\\fonttbl\\f0\\fmodern\\fcharset0\\fprq1\n"
            "{\\*\\panose 02070309020205020404}Courier New;}\n"
            "\\fs24\n");
}

}  // namespace
}  // namespace pageconv
