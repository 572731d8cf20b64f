#include "pageconv/layout.hpp"

#include <gtest/gtest.h>

#include <random>

#include "pageconv/plain.hpp"

namespace dbc::pageconv {
namespace {

using namespace std::string_literals;

TEST(SetupOffset, SkipsTheSetUpStringUpToItsFirstLineEnd) {
  EXPECT_EQ(setupOffset("\x1b(s0p16.67h8.5v0s0b0T\r\nTEXT\r\n"), 21u);
  // A set-up string ended by a line feed or a form feed ends there, not at a later return.
  EXPECT_EQ(setupOffset("\033E\x1b&l1O\nREPORT\r\n"), 7u);
  EXPECT_EQ(setupOffset("\033E\fREPORT\r\n"), 2u);
  EXPECT_EQ(setupOffset("TEXT\r\n"), 0u);
  EXPECT_EQ(setupOffset(""), 0u);
  EXPECT_EQ(setupOffset("\x1b&l1O no line end"), 0u);
  EXPECT_EQ(setupOffset("\x1b&l1O\0\r\n"s), 0u);  // the search ends at a NUL
  std::string late = "\x1b" + std::string(1023, 'x') + "\n\r";
  EXPECT_EQ(setupOffset(late), 0u);  // only the first 1024 bytes count
  late.erase(1, 1);
  EXPECT_EQ(setupOffset(late), 1023u);
}

Measure measured(std::string_view text, std::size_t piece = std::string_view::npos,
                 const Finders& finders = bestFinders()) {
  Measure m(finders);
  for (std::size_t i = 0; i < text.size(); i += piece) {
    std::string part(text.substr(i, piece));
    m.feed(part.data(), part.size());
  }
  return m;
}

// Random prints of lines and pages of every length, read in pieces of random sizes, with every
// instruction set, against the rules applied one byte at a time.
TEST(Measure, AgreesWithTheRulesByteByByte) {
  std::mt19937 rng(621);
  for (int round = 0; round < 3000; ++round) {
    std::string in;
    std::size_t n = rng() % (round % 10 == 0 ? 9000 : 400);
    unsigned ends = 1 + rng() % 40;  // in a hundred bytes
    for (std::size_t i = 0; i < n; ++i) {
      unsigned r = rng() % 100;
      in += r < ends ? "\n\r\f\n"[r % 4] : static_cast<char>(r % 3 ? 'A' + r % 26 : 0x80 + r);
    }
    plain::Measured want = plain::measure(in);
    std::size_t piece = 1 + rng() % (n + 1);
    for (const Finders& f : availableFinders()) {
      Measure got = measured(in, piece, f);
      ASSERT_EQ(got.linmax(), want.linmax) << f.name << " " << round << " " << piece;
      ASSERT_EQ(got.pagmax(), want.pagmax) << f.name << " " << round << " " << piece;
    }
  }
}

// Every byte value, and every line end next to another, at every place of a report whose lines
// run over the 64-byte stretches the count takes whole and whose pages are broken now and then,
// read in pieces that end inside a stretch and on its edge, with every instruction set. The
// report starts with short lines, so the count goes from taking one line end at a time to taking
// whole stretches.
TEST(Measure, AgreesWithTheRulesAtEveryPlace) {
  std::string base;
  std::mt19937 rng(2112);
  for (int line = 0; line < 12; ++line) {
    base += std::string(line < 3 ? 10 + 20 * line : 40 + rng() % 100, 'x');
    base += line % 5 == 4 ? "\r\n\f" : line % 3 ? "\r\n" : "\n";
  }
  std::string values = "\n\r\fA\x80\xff";
  for (const Finders& f : availableFinders()) {
    SCOPED_TRACE(f.name);
    for (std::size_t at = 0; at < base.size(); ++at) {
      for (char v : values) {
        for (char next : {'\n', '\f', 'x'}) {
          std::string in = base;
          in[at] = v;
          if (at + 1 < in.size()) in[at + 1] = next;
          plain::Measured want = plain::measure(in);
          for (std::size_t piece : {std::string_view::npos, std::size_t{64}, std::size_t{67}}) {
            Measure got = measured(in, piece, f);
            ASSERT_EQ(got.linmax(), want.linmax) << at << " " << int(v) << " " << piece;
            ASSERT_EQ(got.pagmax(), want.pagmax) << at << " " << int(v) << " " << piece;
          }
        }
      }
    }
  }
}

TEST(Measure, EveryLineTheDocumentShowsCounts) {
  for (std::size_t piece : {std::string_view::npos, std::size_t{1}, std::size_t{3}}) {
    SCOPED_TRACE(piece);
    // "123" before a form feed is a line of its own, not a part of "45678".
    std::string text = "12345\r1234567\n\f123\f45678\n";
    EXPECT_EQ(measured(text, piece).linmax(), 7);
    // So is a last line that no line feed ends.
    EXPECT_EQ(measured(text + std::string(9, 'y'), piece).linmax(), 9);
    // Text ended by a form feed takes a line of the page; a carriage return alone does not.
    EXPECT_EQ(measured("a\nb\nTOTAL\f", piece).pagmax(), 3);
    EXPECT_EQ(measured("a\nb\nX\r\f", piece).pagmax(), 3);
    EXPECT_EQ(measured("a\nb\n\r\f", piece).pagmax(), 2);
    EXPECT_EQ(measured("a\nb\n\fc\n", piece).pagmax(), 2);
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

// The fullest page, with the empty paragraph that opens the document, fits between the margins
// (15120 twips portrait, 11520 landscape); the font shrinks only when its line is shorter than it.
TEST(ChooseLayout, LineSpacingFitsTheFullestPage) {
  struct Case {
    int linmax, pagmax, fntsiz, linspc;
  };
  for (Case c : {// Portrait at 12 points: automatic spacing up to 52 lines of 288 twips.
                 Case{78, 0, 24, 0},
                 {78, 51, 24, 0},
                 {78, 52, 24, 285},
                 {78, 62, 24, 240},
                 {78, 63, 23, 236},
                 // Portrait at 10 points: 63 lines of 240 twips, the font shrinks below 200.
                 {80, 62, 20, 0},
                 {80, 63, 20, 236},
                 {80, 66, 20, 225},
                 {80, 74, 20, 201},
                 {80, 75, 19, 198},
                 // Landscape: 200 twips up to 55 lines, 180 up to 63 (a page exactly full).
                 {120, 0, 18, 200},
                 {120, 55, 18, 200},
                 {120, 56, 18, 180},
                 {120, 60, 18, 180},
                 {120, 63, 18, 180},
                 {120, 64, 17, 177},
                 {132, 66, 17, 171},
                 // A 9.5-point font never stands on 9-point lines.
                 {95, 55, 19, 200},
                 {95, 56, 18, 180},
                 {140, 71, 16, 160},
                 {140, 72, 15, 157},
                 {150, 75, 15, 151},
                 {150, 76, 14, 149},
                 // However long the page, half a point of spacing and of font.
                 {80, 20000, 1, 10},
                 {200, 1000000000, 1, 10}}) {
    Layout l = chooseLayout(c.linmax, c.pagmax);
    EXPECT_EQ(l.fntsiz, c.fntsiz) << c.linmax << " " << c.pagmax;
    EXPECT_EQ(l.linspc, c.linspc) << c.linmax << " " << c.pagmax;
  }
}

TEST(Header, LandscapeExample) {
  EXPECT_EQ(header(chooseLayout(120, 60)),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\\margl720\\margr360\\margt360\\margb360"
            "\\landscape\\paperw15840\\paperh12240{\\fonttbl\\f0\\fmodern\\fcharset0\\fprq1\n"
            "{\\*\\panose 02070309020205020404}Courier New;}\n"
            "\\fs18\\sl-180\n");
}

TEST(Header, PortraitSpacingOnlyWhenThePageWouldSpill) {
  std::string head =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\\margl720\\margr360\\margt360\\margb360"
      "\\paperw12240\\paperh15840{\\fonttbl\\f0\\fmodern\\fcharset0\\fprq1\n"
      "{\\*\\panose 02070309020205020404}Courier New;}\n";
  EXPECT_EQ(header(chooseLayout(0, 0)), head + "\\fs24\n");
  EXPECT_EQ(header(chooseLayout(80, 66)), head + "\\fs20\\sl-225\n");
}

}  // namespace
}  // namespace dbc::pageconv
