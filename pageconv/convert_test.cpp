#include "pageconv/convert.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "pageconv/plain.hpp"

namespace dbc::pageconv {
namespace {

using namespace std::string_literals;

std::string converted(std::string_view in, std::size_t piece = std::string_view::npos,
                      const Finders& finders = bestFinders()) {
  TextBuffer out;
  Converter c(out, finders);
  for (std::size_t i = 0; i < in.size(); i += piece) {
    // Each piece on its own, as a block read from the file is: nothing past it may be read.
    std::string part(in.substr(i, piece));
    c.feed(part.data(), part.size());
  }
  c.finish();
  // The conversion counts the lines and pages as the layout pass does.
  plain::Measured want = plain::measure(in);
  EXPECT_EQ(c.linmax(), want.linmax) << "in pieces of " << piece;
  EXPECT_EQ(c.pagmax(), want.pagmax) << "in pieces of " << piece;
  return std::string(out.text());
}

// The same document whatever the blocks the file is read in.
void expectConverted(std::string_view in, const std::string& want) {
  for (std::size_t piece :
       {std::string_view::npos, std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
    EXPECT_EQ(converted(in, piece), want) << "in pieces of " << piece;
  }
}

TEST(Converter, SetUpStringExampleAfterItsSkip) {
  // What is left of the example once the set-up string before its carriage return is skipped;
  // the form feed that starts the second page stays out of the document.
  expectConverted("\r\nAB{C}\r\n\fD\r\n", "\\par \n\\par AB\\{C\\}\n\\par \\page\nD\n}\n");
}

TEST(Converter, EscapesBracesAndBackslashes) {
  EXPECT_EQ(converted("A\\B\n{x}\n\\\\\n"), "\\par A\\\\B\n\\par \\{x\\}\n\\par \\\\\\\\\n}\n");
}

TEST(Converter, BytesAReaderMayNotTakeAsTextAreHexEscapes) {
  // Tabs stay; other control bytes, DEL and everything above 0x7F become \'hh in lower case.
  expectConverted("\t\x01\x1b(s3B\x7f\x80\xab\xe9\xff\0z\n"s,
                  "\\par \t\\'01\\'1b(s3B\\'7f\\'80\\'ab\\'e9\\'ff\\'00z\n}\n");
  // A tab now and then must not hide a later escape from the word-wide search.
  std::string tabs;
  for (int i = 0; i < 40; ++i) tabs += "ab\tcdefgh";
  expectConverted(tabs + "\x93{\n", "\\par " + tabs + "\\'93\\{\n}\n");
  // Overprinted bytes are escaped the same way.
  expectConverted("AB\r\xe9\x01\n", "\\par \\'e9\\'01\n}\n");
}

TEST(Converter, FormFeedsNeverReachTheDocument) {
  expectConverted("\f\f\n", "\\par \\page\n\\page\n\n}\n");
  expectConverted("A\n\fB\n\fC", "\\par A\n\\par \\page\nB\n\\par \\page\nC\n}\n");
  // The printer's columns start after the form feed, so overprinting lines up there too.
  expectConverted("\fAB\r X\n", "\\par \\page\nAX\n}\n");
}

TEST(Converter, TextThatNoLineFeedEndsIsALineOfItsOwn) {
  EXPECT_EQ(converted(""), "}\n");
  EXPECT_EQ(converted("\n\n"), "\\par \n\\par \n}\n");
  for (std::string text : {"TOTAL 100", "{x}", "AB\r__", "  "}) {
    SCOPED_TRACE(text);
    // Exactly as if a line feed had ended it, before the page break and before the end.
    expectConverted("A\n" + text + "\fB\n", converted("A\n" + text + "\n\fB\n"));
    expectConverted("A\n" + text, converted("A\n" + text + "\n"));
  }
  EXPECT_EQ(converted("A\nTOTAL 100\fB\n"), "\\par A\n\\par TOTAL 100\n\\par \\page\nB\n}\n");
  EXPECT_EQ(converted("A\nlast"), "\\par A\n\\par last\n}\n");
  // A carriage return alone leaves no text: the page break and the end stay as they were.
  EXPECT_EQ(converted("X\n\r\f"), "\\par X\n\\par \\page\n}\n");
  EXPECT_EQ(converted("X\n\r"), "\\par X\n\\par }\n");
  EXPECT_EQ(converted("X\n\f"), "\\par X\n\\par \\page\n}\n");
}

TEST(Converter, OverprintKeepsWhatBlanksLeaveAndReplacesTheRest) {
  EXPECT_EQ(converted("ABC\r   X\n"), "\\par ABCX\n}\n");
  EXPECT_EQ(converted("ABCDEF\r X\r   x\n"), "\\par AXCxEF\n}\n");
  EXPECT_EQ(converted("\rAB\n"), "\\par AB\n}\n");  // a line may start with its return
  // A form feed ends overprinting; the next line starts fresh.
  EXPECT_EQ(converted("AB\rX\fC\rD\n"), "\\par XB\n\\par \\page\nD\n}\n");
}

TEST(Converter, UnderscoresUnderlineWhatTheyOverprint) {
  // Blanks under the underscores become underscores, as does the part past the end.
  expectConverted("TOTAL DUE   1,234.56\r_______________________\n",
                  "\\par {\\ul TOTAL}_{\\ul DUE}___{\\ul 1,234.56}___\n}\n");
  // A character that replaces an underlined one keeps the underline; a blank changes nothing.
  expectConverted("ABC\r_\rX  \r  _\n", "\\par {\\ul X}B{\\ul C}\n}\n");
  // Escapes stay inside the group; the next line is not underlined.
  expectConverted("{\\}\xe9\r____\nAB\n", "\\par {\\ul \\{\\\\\\}\\'e9}\n\\par AB\n}\n");
  // Underlined text before a form feed is written as a line of its own.
  expectConverted("AB\r__\fC\n", "\\par {\\ul AB}\n\\par \\page\nC\n}\n");
}

TEST(Converter, LongUnderlinedLinesStayWhole) {
  // Underlined stretches across 4096-column boundaries, an escape on one, and underscores past
  // the end of the line.
  std::string text(9000, 'x');
  text[4095] = '{';
  std::string over(4090, ' ');
  over += std::string(10, '_') + std::string(3900, ' ') + std::string(1005, '_');
  std::string want = "\\par " + text.substr(0, 4090) + "{\\ul xxxxx\\{xxxx}" +
                     text.substr(4100, 3900) + "{\\ul " + text.substr(8000) + "}_____\n}\n";
  for (std::size_t piece : {std::string_view::npos, std::size_t{1000}}) {
    EXPECT_EQ(converted(text + "\r" + over + "\n", piece), want) << piece;
  }
}

TEST(Converter, OverprintWorksInPrintColumnsAndStaysEscaped) {
  // Escapes are added on the way out, so a column holds one print byte and an overprinted
  // brace or backslash can neither appear bare nor split an escape.
  EXPECT_EQ(converted("{A\r B\n"), "\\par \\{B\n}\n");
  EXPECT_EQ(converted("AB\r{\\}\n"), "\\par \\{\\\\\\}\n}\n");
  EXPECT_EQ(converted("A{B\r   X\n"), "\\par A\\{BX\n}\n");
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

// Every byte with a meaning of its own, and the bytes next to it, at every place of lines that
// cross the 64-byte stretches the searches work in and the ends of the pieces the file is read in,
// with every instruction set, against the rules applied one byte at a time.
TEST(Converter, AgreesWithTheRulesByteByByteAtEveryPlace) {
  const std::string specials = "\n\r\f{}\\_ \t\x01\x7f\x80\xe9\xff";
  std::string base;
  for (int i = 0; i < 150; ++i) base += i % 70 == 69 ? '\n' : static_cast<char>('a' + i % 26);
  for (const Finders& f : availableFinders()) {
    SCOPED_TRACE(f.name);
    for (char special : specials) {
      for (std::size_t at = 0; at < base.size(); ++at) {
        std::string in = base;
        in[at] = special;
        if (at + 1 < in.size()) in[at + 1] = at % 2 ? '\r' : special;
        std::string want = plain::convert(in);
        for (std::size_t piece : {std::string_view::npos, std::size_t{64}, std::size_t{67}}) {
          ASSERT_EQ(converted(in, piece, f), want) << int(special) << " " << at << " " << piece;
        }
      }
    }
  }
}

// Random prints of short lines, overprinted and underlined, broken pages and long lines, read in
// pieces of random sizes.
TEST(Converter, AgreesWithTheRulesByteByByteOnRandomPrints) {
  const std::string alphabet = "ab _{}\\\t\x1b\x93\r\n\f";
  std::mt19937 rng(2121);
  for (int round = 0; round < 3000; ++round) {
    std::string in;
    std::size_t n = rng() % (round % 10 == 0 ? 9000 : 400);
    for (std::size_t i = 0; i < n; ++i) {
      unsigned r = rng() % 100;
      in += r < 70 ? static_cast<char>('A' + r % 26) : alphabet[r % alphabet.size()];
    }
    std::string want = plain::convert(in);
    std::size_t piece = 1 + rng() % (n + 1);
    for (const Finders& f : availableFinders()) {
      ASSERT_EQ(converted(in, piece, f), want) << f.name << " " << round << " " << piece;
    }
  }
}

// Lines underlined by a second printing of underscores and blanks, shorter and longer than the
// text, among lines printed over in other ways, ended in every way, read in pieces of random
// sizes, with every instruction set.
TEST(Converter, UnderlinedLinesAgreeWithTheRulesByteByByte) {
  const std::string text = "ab  {}\\_\x93\x01", over = "__ ",
                    ends[] = {"\r\n", "\n", "\r\r\n", "\f", "\rX\n", "\r"};
  std::mt19937 rng(1212);
  for (int round = 0; round < 2000; ++round) {
    std::string in;
    for (int line = 0; line < 8; ++line) {
      for (std::size_t i = rng() % (round % 7 == 0 ? 300 : 90); i > 0; --i)
        in += text[rng() % text.size()];
      in += "\r";
      for (std::size_t i = rng() % (round % 5 == 0 ? 300 : 90); i > 0; --i)
        in += over[rng() % over.size()];
      in += ends[rng() % std::size(ends)];
    }
    std::string want = plain::convert(in);
    std::size_t piece = 1 + rng() % (in.size() + 1);
    for (const Finders& f : availableFinders()) {
      ASSERT_EQ(converted(in, piece, f), want) << f.name << " " << round << " " << piece;
    }
  }
}

// A print of many lines, most of them plain, long enough for the plain lines to be written as one
// stream across whole blocks: lines of every length up to a few stretches and around the longest
// written at once, escapes among and next to their ends, ended in every way, with now and then a
// line printed over or a page break.
std::string manyLines(std::mt19937& rng, std::size_t size) {
  const std::string text = "{}\\\x01\x7f\xe9\t _",
                    ends[] = {"\r\n", "\n", "\r\r\n", "\f", "\r\f", "\rX\n", "\r__\r\n"};
  std::string in;
  const unsigned density = rng() % 20;
  while (in.size() < size) {
    std::size_t n = rng() % 140;
    if (rng() % 200 == 0) n = kPlainMax - 2 + rng() % 4;
    for (std::size_t i = 0; i < n; ++i) {
      in += rng() % 100 < density ? text[rng() % text.size()] : static_cast<char>('a' + i % 26);
    }
    const unsigned e = rng() % 100;
    in += e < 60 ? ends[0] : e < 90 ? ends[1] : ends[2 + rng() % (std::size(ends) - 2)];
  }
  return in;
}

TEST(Converter, StreamsOfPlainLinesAgreeWithTheRulesByteByByte) {
  std::mt19937 rng(2112);
  for (int round = 0; round < 60; ++round) {
    const std::string in = manyLines(rng, 5000 + rng() % 60000);
    const std::string want = plain::convert(in);
    const std::size_t piece = round % 3 == 0 ? std::string_view::npos : 100 + rng() % 40000;
    for (const Finders& f : availableFinders()) {
      ASSERT_EQ(converted(in, piece, f), want) << f.name << " " << round << " " << piece;
    }
  }
}

// Each instruction set's writer of whole lines does what the plainest does, to the byte and to
// the state it leaves, reading nothing past the block and writing nothing past the room it asks
// for, wherever the lines start and the run is cut.
TEST(Converter, RunWritersAgreeWithThePlainestOne) {
  std::mt19937 rng(1221);
  const std::vector<Finders> all = availableFinders();
  for (int round = 0; round < 300; ++round) {
    const std::string print = manyLines(rng, 200 + rng() % 20000);
    const std::size_t i = rng() % 64, until = i + rng() % (print.size() - i);
    const bool open = rng() % 2;
    LineRun want{};
    std::string wantText;
    for (const Finders& f : all) {
      std::unique_ptr<char[]> p(new char[print.size()]);
      std::memcpy(p.get(), print.data(), print.size());
      const std::size_t room = runRoom(until - i);
      std::unique_ptr<char[]> out(new char[room]);
      LineRun run{p.get(), print.size(), i, out.get(), open, 0, 0, 5, 0};
      f.lines(run, until);
      std::string text(out.get(), run.w);
      if (&f == &all.front()) {
        want = run;
        wantText = text;
        continue;
      }
      ASSERT_EQ(text, wantText) << f.name << " " << round;
      ASSERT_EQ(run.i, want.i) << f.name << " " << round;
      ASSERT_EQ(run.open, want.open) << f.name << " " << round;
      if (run.i < until) {
        ASSERT_EQ(run.end, want.end) << f.name << " " << round;
      }
      ASSERT_EQ(run.linmax, want.linmax) << f.name << " " << round;
      ASSERT_EQ(run.pagsiz, want.pagsiz) << f.name << " " << round;
      ASSERT_EQ(run.pagmax, want.pagmax) << f.name << " " << round;
    }
  }
}

}  // namespace
}  // namespace dbc::pageconv
