// pageconv on whole print files: the RTF it writes, its messages and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using namespace std::string_literals;

const std::string kFontLine = "{\\*\\panose 02070309020205020404}Courier New;}\n";

std::string firstLine(bool landscape) {
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\\margl720\\margr360\\margt360\\margb360"s +
         (landscape ? "\\landscape\\paperw15840\\paperh12240" : "\\paperw12240\\paperh15840") +
         "{\\fonttbl\\f0\\fmodern\\fcharset0\\fprq1\n";
}

class Pageconv : public ::testing::Test {
 protected:
  // Converts `print` and returns the RTF; the status must be 0.
  std::string convert(const std::string& print) {
    testkit::writeFile(in, print);
    testkit::RunResult r = pageconv({in, out});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    return testkit::readFile(out);
  }
  testkit::RunResult pageconv(std::vector<std::string> args) {
    return testkit::run({"pageconv", std::move(args), {}, dir.path(), "", 30});
  }

  testkit::TempDir dir;
  std::string in = dir.file("REPORT.PRT"), out = dir.file("REPORT.RTF");
};

// A print file and the RTF it becomes: the header for its orientation, the font line, then
// `body`. Each conversion replaces a longer output left before it.
struct Conversion {
  const char* name;
  std::string print;
  bool landscape;
  std::string font;
  std::string body;
};

TEST_F(Pageconv, WholeDocumentsByteForByte) {
  // A page of 60 lines, the longest 120 bytes, then a short last page.
  std::string widePage, widePars;
  for (int i = 0; i < 60; ++i) {
    std::string line(i == 7 ? 120 : 40, 'a' + i % 26);
    widePage += line + "\r\n";
    widePars += "\\par " + line + "\n";
  }
  std::string longLine;
  for (int i = 0; i < 5000; ++i) longLine += static_cast<char>('A' + i % 26);
  const std::string e1100(1100, 'e');
  const std::vector<Conversion> rows{
      {"set-up string example", "\x1b&l1O\x1b(s0p16.67h8.5v0s0b0T\r\nAB{C}\r\n\fD\r\n", false,
       "\\fs24", "\\par \n\\par AB\\{C\\}\n\\par \\page\nD\n}\n"},
      // The report after the set-up string is all there, not skipped up to its first return.
      {"set-up string ended by a line feed", "\033E\x1b&l1O\nREPORT\nLINE 2\r\n", false, "\\fs24",
       "\\par \n\\par REPORT\n\\par LINE 2\n}\n"},
      {"set-up string ended by a form feed", "\033E\fREPORT\n", false, "\\fs24",
       "\\par \\page\nREPORT\n}\n"},
      {"landscape for a wide print", widePage + "\fEND\r\n", true, "\\fs18\\sl-180",
       widePars + "\\par \\page\nEND\n}\n"},
      {"empty input", "", false, "\\fs24", "}\n"},
      {"overprint, escaping and the last line", "ABC\r   X\nTOTAL\r______\nA\\B {x}\nlast line",
       false, "\\fs24",
       "\\par ABCX\n\\par {\\ul TOTAL}_\n\\par A\\\\B \\{x\\}\n\\par last line\n}\n"},
      // An input without a set-up string, and one whose escape has no line end near the start,
      // are converted from their first byte.
      {"escape without a line end near the start", "\x1b" + e1100 + "\r\n", true, "\\fs15\\sl-200",
       "\\par \\'1b" + e1100 + "\n}\n"},
      {"escape without a line end", "\x1b&l1O", false, "\\fs24", "\\par \\'1b&l1O\n}\n"},
      // Code page 1252 text, underlined totals, a total that the form feed ends, and no
      // form-feed byte in the document.
      {"an invoice as a reader shows it",
       "Caf\xe9 \x80 5,00 \x93net\x94\tC:\\TMP {x}\r\n"
       "TOTAL DUE   1,234.56\r____________________\r\n"
       "SUBTOTAL 100\f"
       "PAGE 2\r\n",
       false, "\\fs24",
       "\\par Caf\\'e9 \\'80 5,00 \\'93net\\'94\tC:\\\\TMP \\{x\\}\n"
       "\\par {\\ul TOTAL}_{\\ul DUE}___{\\ul 1,234.56}\n"
       "\\par SUBTOTAL 100\n"
       "\\par \\page\nPAGE 2\n}\n"},
      {"long lines are kept whole", longLine + "\n", true, "\\fs15\\sl-200",
       "\\par " + longLine + "\n}\n"},
      {"an older output replaced", "X\n", false, "\\fs24", "\\par X\n}\n"},
  };
  for (const Conversion& row : rows) {
    SCOPED_TRACE(row.name);
    testkit::writeFile(out, std::string(10000, '#'));
    EXPECT_EQ(convert(row.print),
              firstLine(row.landscape) + kFontLine + row.font + "\n" + row.body);
  }
}

TEST_F(Pageconv, FontSizeFollowsTheLongestLine) {
  struct Case {
    int length;
    std::string third;
  };
  for (const Case& c : {Case{78, "\\fs24"},
                        {79, "\\fs20"},
                        {89, "\\fs20"},
                        {90, "\\fs19\\sl-200"},
                        {99, "\\fs19\\sl-200"},
                        {100, "\\fs18\\sl-200"},
                        {134, "\\fs18\\sl-200"},
                        {135, "\\fs16\\sl-200"},
                        {149, "\\fs16\\sl-200"},
                        {150, "\\fs15\\sl-200"}}) {
    // The longest line is ended by a carriage return, or is the last line with no line end.
    std::string line(c.length, 'x');
    std::string head = firstLine(c.length >= 90) + kFontLine + c.third + "\n";
    EXPECT_EQ(convert("short\n" + line + "\r\nz"),
              head + "\\par short\n\\par " + line + "\n\\par z\n}\n")
        << c.length;
    EXPECT_EQ(convert("short\n" + line), head + "\\par short\n\\par " + line + "\n}\n") << c.length;
  }
}

TEST_F(Pageconv, LineSpacingFollowsTheFullestPage) {
  auto page = [](int lines) {
    std::string p;
    for (int i = 0; i < lines; ++i) p += std::string(100, '-') + "\n";
    return p + "\f";
  };
  auto third = [&](const std::string& print) {
    std::string rtf = convert(print);
    std::size_t start = firstLine(true).size() + kFontLine.size();
    return rtf.substr(start, rtf.find('\n', start) - start);
  };
  EXPECT_EQ(third(page(55) + page(30)), "\\fs18\\sl-200");
  EXPECT_EQ(third(page(30) + page(56)), "\\fs18\\sl-180");
  // Lines after the last form feed are not counted as a page.
  EXPECT_EQ(third(page(10) + std::string(100 * 80, '\n')), "\\fs18\\sl-200");
  // 64 lines of 180 twips and the opening empty paragraph fill the 11520 twips exactly; one
  // line more and the spacing shrinks, and the font with it. A last line ended by the form
  // feed alone counts.
  EXPECT_EQ(third(page(63)), "\\fs18\\sl-180");
  EXPECT_EQ(third(page(64)), "\\fs17\\sl-177");
  std::string total = page(63);
  EXPECT_EQ(third(total.insert(total.size() - 1, "TOTAL")), "\\fs17\\sl-177");
}

TEST_F(Pageconv, PortraitPagesFitToo) {
  auto third = [&](int width, int lines) {
    std::string p;
    for (int i = 0; i < lines; ++i) p += std::string(width, '-') + "\r\n";
    std::string rtf = convert(p + "\f" + p);
    std::size_t start = firstLine(false).size() + kFontLine.size();
    return rtf.substr(start, rtf.find('\n', start) - start);
  };
  // 12 points: automatic spacing while 1.2 times the font fits.
  EXPECT_EQ(third(78, 51), "\\fs24");
  EXPECT_EQ(third(78, 52), "\\fs24\\sl-285");
  // 10 points: the common 66-line page, and where the font shrinks.
  EXPECT_EQ(third(80, 62), "\\fs20");
  EXPECT_EQ(third(80, 63), "\\fs20\\sl-236");
  EXPECT_EQ(third(80, 66), "\\fs20\\sl-225");
  EXPECT_EQ(third(80, 74), "\\fs20\\sl-201");
  EXPECT_EQ(third(80, 75), "\\fs19\\sl-198");
}

// A print of pages of alike lines, and the document text it becomes.
struct Report {
  std::string print, body;
  bool broken = false;  // a page break opened the line to come

  Report& pages(int count, int lines, std::size_t width) {
    for (int page = 0; page < count; ++page) {
      for (int i = 0; i < lines; ++i) {
        std::string line(width, static_cast<char>('A' + (page + i) % 26));
        print += line + "\r\n";
        body += (broken ? "" : "\\par ") + line + "\n";
        broken = false;
      }
      print += "\f";
      body += "\\par \\page\n";
      broken = true;
    }
    return *this;
  }
};

// The header comes first but follows from the whole print: a line or a page that calls for
// another header comes far into the print, after its first hundred kilobytes or so, and the
// header grows, shrinks or changes in place. The document is the same in a file and in a pipe.
TEST_F(Pageconv, TheWholePrintDecidesTheHeader) {
  const struct {
    const char* name;
    Report report;
    bool landscape;
    std::string font;
  } rows[] = {
      {"a wide line late", Report().pages(100, 40, 60).pages(1, 1, 120), true, "\\fs18\\sl-200"},
      {"a long page late", Report().pages(40, 60, 100).pages(1, 130, 100), true, "\\fs8\\sl-87"},
      {"a fuller page late", Report().pages(50, 50, 100).pages(1, 60, 100), true, "\\fs18\\sl-180"},
      {"all alike", Report().pages(50, 50, 100), true, "\\fs18\\sl-200"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_GT(row.report.print.size(), 200000u);
    const std::string want =
        firstLine(row.landscape) + kFontLine + row.font + "\n" + row.report.body + "}\n";
    EXPECT_TRUE(convert(row.report.print) == want);
    // The disk room set aside while the document was written is given back.
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_LE(st.st_blocks * 512, st.st_size + 65536);
    testkit::RunResult piped = pageconv({in, "/dev/stdout"});
    EXPECT_EQ(piped.status, 0);
    EXPECT_TRUE(piped.out == want);
  }
}

// Runs that stop with status 1 and one message: the input is untouched and no output is made.
TEST_F(Pageconv, RefusedRuns) {
  const std::string usage =
      "\nConvert Print to RTF - Nov 21, 2012\nFormat: pageconv infile outfile\n";
  const std::string nodir = dir.file("no/such/dir.rtf"), self = dir.path() + "/./REPORT.PRT";
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string out;
    std::string stdinText = "";
  } rows[] = {
      {"no arguments", {}, usage},
      {"one argument", {in}, usage},
      {"three arguments", {in, out, "x"}, usage},
      {"input missing", {"NOSUCH.PRT", out}, "Error openning NOSUCH.PRT \n"},
      {"output folder missing", {in, nodir}, "Error openning " + nodir + " \n"},
      {"input a folder", {dir.path(), out}, "Error openning " + dir.path() + " \n"},
      {"output the input", {in, in}, "Output would overwrite the input: " + in + " \n"},
      {"output the input by another name",
       {in, self},
       "Output would overwrite the input: " + self + " \n"},
      // Input that cannot be read twice.
      {"standard input", {"/dev/stdin", out}, "Error reading /dev/stdin \n", "A\nB\n"},
  };
  testkit::writeFile(in, "PRECIOUS\n");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    testkit::RunResult r = testkit::run({"pageconv", row.args, {}, dir.path(), row.stdinText, 30});
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(testkit::readFile(in), "PRECIOUS\n");
    EXPECT_FALSE(testkit::exists(out));
  }
}

}  // namespace
