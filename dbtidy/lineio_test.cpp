#include "dbtidy/lineio.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbtidy/formatter.hpp"
#include "testkit/capture.hpp"
#include "testkit/files.hpp"

namespace dbc::dbtidy {
namespace {

struct Read {
  std::vector<std::string> lines;  // every read, the one that met the end included
  Counters counters;
};

Read readAll(const std::string& bytes) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("in"), bytes);
  Read r;
  LineReader reader(dbc::openFile(dir.file("in"), O_RDONLY), r.counters, nullptr);
  std::string line;
  while (!reader.eof()) {
    EXPECT_TRUE(reader.getline_dbtidy(line));
    r.lines.push_back(line);
  }
  return r;
}

TEST(LineReader, CountsAsTheClosingSummaryExpects) {
  Read r = readAll("ab\nc\n");
  EXPECT_EQ(r.lines, (std::vector<std::string>{"ab", "c", ""}));
  EXPECT_EQ(r.counters.ibytes, 9);
  EXPECT_EQ(r.counters.linecnt, 2);

  r = readAll("ab\r\nc");
  EXPECT_EQ(r.lines, (std::vector<std::string>{"ab", "c"}));
  EXPECT_EQ(r.counters.ibytes, 5 + 3);
  EXPECT_EQ(r.counters.linecnt, 2);

  r = readAll("");
  EXPECT_EQ(r.lines, (std::vector<std::string>{""}));
  EXPECT_EQ(r.counters.ibytes, 2);
  EXPECT_EQ(r.counters.linecnt, 0);
}

TEST(LineReader, DropsCarriageReturnsAndStopsAtZeroByte) {
  Read r = readAll(std::string("a\rb\r\r\nx\0yz\n", 11));
  EXPECT_EQ(r.lines, (std::vector<std::string>{"ab", "x", ""}));
  EXPECT_EQ(r.counters.ibytes, (1 + 6) + (1 + 5) + 2);
}

TEST(LineReader, SplitsLongLinesAtTheLimit) {
  std::string big(2500, 'x');
  big[999] = 'a';
  big[1000] = 'b';
  Read r = readAll(big + "\n" + std::string(1000, 'y') + "\n");
  ASSERT_EQ(r.lines.size(), 6u);
  EXPECT_EQ(r.lines[0].size(), 1000u);
  EXPECT_EQ(r.lines[0].back(), 'a');
  EXPECT_EQ(r.lines[1].size(), 1000u);
  EXPECT_EQ(r.lines[1].front(), 'b');
  EXPECT_EQ(r.lines[2].size(), 500u);
  EXPECT_EQ(r.lines[3], std::string(1000, 'y'));
  EXPECT_EQ(r.lines[4], "");  // the line end left behind by the cut
  EXPECT_EQ(r.lines[5], "");
  EXPECT_EQ(r.counters.linecnt, 5);
}

TEST(LineReader, LinesAcrossBlockBoundaries) {
  std::string text;
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    expected.push_back(std::string(i % 37, static_cast<char>('a' + i % 26)));
    text += expected.back() + (i % 3 ? "\n" : "\r\n");
  }
  Read r = readAll(text);
  expected.push_back("");
  EXPECT_EQ(r.lines, expected);
  EXPECT_EQ(r.counters.ibytes, static_cast<long long>(text.size()) + 20001 + 1);
}

TEST(LineReader, TraceShowsEveryRead) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("in"), "a\n");
  Counters c;
  testkit::Capture cap;
  LineReader reader(dbc::openFile(dir.file("in"), O_RDONLY), c, cap.file());
  std::string line;
  reader.getline_dbtidy(line);
  reader.getline_dbtidy(line);
  EXPECT_EQ(cap.text(), "Line in : [a]\nLine in : []\n");
}

TEST(LineWriter, CutsAtTheLimitAndCountsLineEndsTwice) {
  testkit::TempDir dir;
  Counters c;
  testkit::Capture cap;
  LineWriter w(dbc::openFile(dir.file("out"), O_WRONLY | O_CREAT | O_TRUNC, 0644), c, cap.file());
  EXPECT_TRUE(w.putline("AB\n\tC"));
  EXPECT_TRUE(w.putline(std::string(1200, 'z')));
  EXPECT_TRUE(w.putline(""));
  EXPECT_TRUE(w.close());
  EXPECT_EQ(testkit::readFile(dir.file("out")), "AB\n\tC\n" + std::string(1000, 'z') + "\n\n");
  EXPECT_EQ(c.obytes, 7 + 1002 + 2);
  EXPECT_EQ(cap.text().substr(0, 20), "Line Out: [AB\n\tC]\nLi");
}

TEST(LineWriter, FullDiskIsNoticed) {
  Counters c;
  LineWriter w(dbc::openFile("/dev/full", O_WRONLY), c, nullptr);
  for (int i = 0; i < 10; ++i) w.putline("x");
  EXPECT_FALSE(w.close());
}

}  // namespace
}  // namespace dbc::dbtidy
