// pageconv's documents as real RTF readers show them: LibreOffice prints each one to PDF, poppler's
// tools read back the pages, the font, every word and the column it stands in, and pandoc reads
// the document's text. The readers are outside programs (Debian: libreoffice-writer-nogui,
// fonts-liberation, poppler-utils, pandoc); where they are missing the tests say so and skip,
// except under CI, where a missing reader is a failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using Lines = std::vector<std::string>;

// A print file and what the printer put on paper: its pages, each line as it shows (UTF-8),
// an underscore that underlines a blank shown as the underscore.
struct Print {
  std::string bytes;
  std::vector<Lines> pages;
};

// A word where a reader shows it: the line among those with text, the column, the word.
using Placed = std::tuple<int, int, std::string>;

std::string onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    std::string full = (dir.empty() ? "." : dir) + "/" + program;
    if (::access(full.c_str(), X_OK) == 0) return full;
  }
  return "";
}

Lines split(const std::string& text, char sep) {
  Lines parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, sep);) parts.push_back(part);
  return parts;
}

bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Every word of the lines with text, numbered by those lines, at its column in characters.
std::vector<Placed> placed(const Lines& lines) {
  std::vector<Placed> words;
  int row = 0;
  for (const std::string& line : lines) {
    int column = 0;
    bool any = false;
    for (std::size_t i = 0; i < line.size();) {
      if (line[i] == ' ' || line[i] == '\t') {
        ++i, ++column;
        continue;
      }
      std::size_t end = line.find_first_of(" \t", i);
      if (end == std::string::npos) end = line.size();
      std::string word = line.substr(i, end - i);
      words.emplace_back(row, column, word);
      column += static_cast<int>(
          std::count_if(word.begin(), word.end(), [](char c) { return !isUtf8Continuation(c); }));
      i = end;
      any = true;
    }
    row += any;
  }
  return words;
}

std::string show(const Placed& p) {
  return "line " + std::to_string(std::get<0>(p)) + " column " + std::to_string(std::get<1>(p)) +
         " \"" + std::get<2>(p) + "\"";
}

std::string show(const Lines& words) {
  std::string out = "\"";
  for (const auto& w : words) out += (out.size() > 1 ? " " : "") + w;
  return out + "\"";
}

// The words alone, line by line: what a reader that does not keep columns must show.
std::vector<Lines> wordsByLine(const Lines& lines) {
  std::vector<Lines> out;
  for (const auto& [row, column, word] : placed(lines)) {
    if (static_cast<std::size_t>(row) == out.size()) out.emplace_back();
    out.back().push_back(word);
  }
  return out;
}

// Code page 1252 bytes of UTF-8 text, for the characters the code page has.
std::string cp1252(const std::string& utf8) {
  static const char32_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    int more = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t cp = more == 0 ? b : b & (0x3F >> more);
    for (int m = 1; m <= more; ++m) cp = (cp << 6) | (utf8[i + m] & 0x3F);
    i += 1 + more;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
    } else {
      const char32_t* at = std::find(std::begin(kHigh), std::end(kHigh), cp);
      EXPECT_NE(at, std::end(kHigh))
          << "not in code page 1252: U+" << std::hex << static_cast<unsigned>(cp);
      out += static_cast<char>(0x80 + (at - kHigh));
    }
  }
  return out;
}

std::string unescapeXml(std::string s) {
  for (auto [from, to] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
    for (std::size_t at; (at = s.find(from)) != std::string::npos;) s.replace(at, strlen(from), to);
  }
  return s;
}

// The words of each page of `pdftotext -bbox`, placed by their position: lines by their top,
// columns by the left margin of half an inch and the advance of a fixed-pitch font of `points`.
std::vector<std::vector<Placed>> placedInPdf(const std::string& bbox, double points) {
  std::vector<std::vector<Placed>> pages;
  auto attribute = [](const std::string& tag, const std::string& name) {
    std::size_t at = tag.find(name + "=\"") + name.size() + 2;
    return std::stod(tag.substr(at, tag.find('"', at) - at));
  };
  for (const std::string& line : split(bbox, '\n')) {
    if (line.find("<page ") != std::string::npos) pages.emplace_back();
    std::size_t open = line.find("<word ");
    if (open == std::string::npos || pages.empty()) continue;
    std::size_t text = line.find('>', open) + 1;
    std::string tag = line.substr(open, text - open);
    // A word off the grid of a fixed-pitch font stands in no column at all (-1).
    double column = (attribute(tag, "xMin") - 36) / (0.6 * points);
    if (std::abs(column - std::round(column)) > 0.2) column = -1;
    // Tenths of a point, so that words on one line sort by their column.
    pages.back().emplace_back(static_cast<int>(std::lround(attribute(tag, "yMin") * 10)),
                              static_cast<int>(std::lround(column)),
                              unescapeXml(line.substr(text, line.find('<', text) - text)));
  }
  for (auto& words : pages) {
    std::sort(words.begin(), words.end());
    int row = -1, top = -1000;
    for (auto& [y, column, word] : words) {
      if (y > top + 20) top = y, ++row;  // lines stand far more than two points apart
      y = row;
    }
  }
  return pages;
}

// "" when both hold the same, else where they first differ (pages hold thousands of words).
template <typename T>
std::string firstDifference(const std::vector<T>& shown, const std::vector<T>& printed) {
  auto [a, b] = std::mismatch(shown.begin(), shown.end(), printed.begin(), printed.end());
  if (a == shown.end() && b == printed.end()) return "";
  std::ostringstream out;
  out << "item " << (a - shown.begin()) << " of " << shown.size() << " shown, " << printed.size()
      << " printed: shown " << (a == shown.end() ? "nothing" : show(*a)) << ", printed "
      << (b == printed.end() ? "nothing" : show(*b));
  return out.str();
}

class PageconvInReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    Lines missing;
    for (const char* program : {"soffice", "pdfinfo", "pdffonts", "pdftotext", "pandoc"}) {
      path[program] = onPath(program);
      if (path[program].empty()) missing.push_back(program);
    }
    if (missing.empty()) return;
    std::string what;
    for (const auto& m : missing) what += " " + m;
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") {
      FAIL() << "the RTF readers are missing:" << what
             << " (Debian: libreoffice-writer-nogui fonts-liberation poppler-utils pandoc)";
    }
    std::cout << "SKIPPED: the RTF readers are missing:" << what << std::endl;
    GTEST_SKIP() << "the RTF readers are missing:" << what;
  }

  testkit::RunResult reader(const std::string& program, std::vector<std::string> args) {
    const char* pathVar = std::getenv("PATH");
    testkit::RunResult r = testkit::run({path[program],
                                         std::move(args),
                                         {{"HOME", dir.path()}, {"PATH", pathVar ? pathVar : ""}},
                                         dir.path(),
                                         "",
                                         300});
    EXPECT_EQ(r.status, 0) << program << ": " << r.out << r.err;
    return r;
  }

  // Converts the print, has LibreOffice print the document to PDF and checks what each reader
  // shows against the pages of the print.
  void expectShownAsPrinted(const Print& print) {
    std::string prt = dir.file("REPORT.PRT"), rtf = dir.file("REPORT.RTF");
    std::string pdf = dir.file("REPORT.pdf");
    testkit::writeFile(prt, print.bytes);
    testkit::RunResult r = testkit::run({"pageconv", {prt, rtf}, {}, dir.path(), "", 60});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string document = testkit::readFile(rtf);
    std::size_t fs = document.find("\n\\fs");
    ASSERT_NE(fs, std::string::npos);
    double points = std::stoi(document.substr(fs + 4)) / 2.0;

    // A profile of its own, so that tests running at the same time never share one.
    reader("soffice", {"-env:UserInstallation=file://" + dir.file("profile"), "--headless",
                       "--convert-to", "pdf", "--outdir", dir.path(), rtf});
    ASSERT_TRUE(testkit::exists(pdf)) << "LibreOffice wrote no PDF";

    std::string info = reader("pdfinfo", {pdf}).out;
    std::size_t at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos) << info;
    EXPECT_EQ(std::stoul(info.substr(at + 6)), print.pages.size()) << "pages";

    Lines fonts = split(reader("pdffonts", {pdf}).out, '\n');
    ASSERT_GT(fonts.size(), 2u) << "no font in the PDF";
    for (std::size_t i = 2; i < fonts.size(); ++i) {
      std::string name = fonts[i].substr(0, fonts[i].find(' '));
      name = name.substr(name.find('+') + 1);
      EXPECT_TRUE(name.find("Mono") != std::string::npos ||
                  name.find("Courier") != std::string::npos)
          << "not a fixed-pitch font: " << fonts[i];
    }

    // Page by page, every printed word on its line, none wrapped onto another line.
    Lines layout = split(reader("pdftotext", {"-layout", pdf, "-"}).out, '\f');
    std::vector<std::vector<Placed>> bbox =
        placedInPdf(reader("pdftotext", {"-bbox", pdf, "-"}).out, points);
    ASSERT_GE(layout.size(), print.pages.size());
    ASSERT_EQ(bbox.size(), print.pages.size());
    Lines all;
    for (std::size_t p = 0; p < print.pages.size(); ++p) {
      SCOPED_TRACE("page " + std::to_string(p + 1));
      EXPECT_EQ(firstDifference(wordsByLine(split(layout[p], '\n')), wordsByLine(print.pages[p])),
                "");
      // Each word in the column the printer put it in.
      EXPECT_EQ(firstDifference(bbox[p], placed(print.pages[p])), "");
      all.insert(all.end(), print.pages[p].begin(), print.pages[p].end());
    }

    // pandoc keeps neither pages nor columns, but every line and word.
    std::string plain = reader("pandoc", {"-f", "rtf", "-t", "plain", "--wrap=none", rtf}).out;
    EXPECT_EQ(firstDifference(wordsByLine(split(plain, '\n')), wordsByLine(all)), "");
  }

  std::map<std::string, std::string> path;
  testkit::TempDir dir;
};

// Three pages of 66 lines, as a printer at six lines an inch prints on 11-inch paper, each line
// `width` columns wide with a word reaching its last column.
Print fullPages(int width) {
  Print print;
  for (int page = 1; page <= 3; ++page) {
    print.pages.emplace_back();
    for (int line = 1; line <= 66; ++line) {
      std::string text;
      char word[16];
      while (static_cast<int>(text.size()) + 8 <= width) {
        std::snprintf(word, sizeof word, "%dL%02dC%02d ", page, line,
                      static_cast<int>(text.size() / 8));
        text += word;
      }
      text.back() = '=';
      text.resize(width, '=');
      print.bytes += text + "\r\n";
      print.pages.back().push_back(text);
    }
    print.bytes += "\f";
  }
  return print;
}

TEST_F(PageconvInReaders, ThreeFullPagesOf80ColumnsInPortrait) {
  expectShownAsPrinted(fullPages(80));
}

TEST_F(PageconvInReaders, ThreeFullPagesOf132ColumnsInLandscape) {
  expectShownAsPrinted(fullPages(132));
}

TEST_F(PageconvInReaders, AnInvoiceWithUnderlinedTotals) {
  Print print;
  print.bytes =
      "\033E\033(s0p10h12v0s0b3T\r\n"
      "          ACME SUPPLY CO.        INVOICE 4711\r\n"
      "\r\n"
      "  QTY  ITEM                  PRICE      AMOUNT\r\n"
      "    2  WIDGET {LARGE}        12.50       25.00\r\n"
      "   10  BOLT M8\\40            1.00       10.00\r\n"
      "\r\n"
      "  SUBTOTAL                             35.00\r"
      "  ________                             _____\r\n"
      "  TOTAL DUE   1,234.56\r"
      "  ____________________\r\n"
      "  THANK YOU\f"  // the page's last line, ended by the form feed alone
      "PAGE 2\r\n"
      "  PAYABLE WITHIN 30 DAYS";  // and the file's, ended by nothing
  print.pages = {
      {"          ACME SUPPLY CO.        INVOICE 4711",
       "  QTY  ITEM                  PRICE      AMOUNT",
       "    2  WIDGET {LARGE}        12.50       25.00",
       "   10  BOLT M8\\40            1.00       10.00",
       "  SUBTOTAL                             35.00", "  TOTAL_DUE___1,234.56", "  THANK YOU"},
      {"PAGE 2", "  PAYABLE WITHIN 30 DAYS"}};
  expectShownAsPrinted(print);
}

TEST_F(PageconvInReaders, ASetUpStringEndedByALineFeed) {
  Print print;
  print.bytes = "\033E\033&l0O\n";
  print.pages.emplace_back();
  for (int i = 1; i <= 14; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "LINE %02d OF THE REPORT      AMOUNT %8d.00", i, i * 7);
    print.bytes += std::string(line) + "\n";
    print.pages.back().push_back(line);
  }
  print.bytes += "TOTAL                               735.00\r_____\n\fSECOND PAGE\nLAST LINE\n";
  print.pages.back().push_back("TOTAL                               735.00");
  print.pages.push_back({"SECOND PAGE", "LAST LINE"});
  expectShownAsPrinted(print);
}

TEST_F(PageconvInReaders, CodePage1252TextWithBracesAndBackslashes) {
  Lines lines = {"Café crème brûlée   € 4,50   naïve Straße",
                 "“Quoted” ‘single’ – dash — em … dots ™ • Œuvre Šá",
                 "{braces} and \\back\\slash\\ and {\\rtf1 not a group} \\par",
                 "½ ± µ © ® ° ¿ ¡ × ÷ Æ Ø Å ß ÿ ‰ ‹ › ƒ", "C:\\USERS\\{ID}\\FILE.TXT"};
  Print print;
  for (const std::string& line : lines) print.bytes += cp1252(line) + "\r\n";
  print.pages = {lines};
  expectShownAsPrinted(print);
}

}  // namespace
