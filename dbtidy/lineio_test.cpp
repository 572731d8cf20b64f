#include "dbtidy/lineio.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
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

// The reader as the rules read: a fetch at a time, each counted, CRs dropped, 1000 characters at
// most, the text ended at a zero byte. What the buffered reader must agree with.
struct PlainReader {
  explicit PlainReader(const std::string& b) : bytes(b) {}

  const std::string& bytes;
  std::size_t pos = 0;
  bool eof = false;
  Counters counters;

  std::string getline() {
    std::string line;
    counters.ibytes += 1;
    for (;;) {
      counters.ibytes += 1;
      if (pos == bytes.size()) {
        eof = true;
        break;
      }
      char c = bytes[pos++];
      if (c == '\n') break;
      if (c == '\r') continue;
      line.push_back(c);
      if (line.size() == kLineMax) break;
    }
    const bool stored = !line.empty();
    line.resize(std::min(line.size(), line.find('\0')));
    if (!(eof && !stored)) counters.linecnt += 1;
    return line;
  }
};

// Every read of `bytes` by both readers, compared read by read, through next() as a run reads.
void expectAgreement(const std::string& bytes, const std::string& what) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("in"), bytes);
  Counters c;
  LineReader reader(dbc::openFile(dir.file("in"), O_RDONLY), c, nullptr);
  PlainReader plain{bytes};
  for (int n = 1; !plain.eof; ++n) {
    const std::string expected = plain.getline();
    std::span<char> line;
    ASSERT_TRUE(reader.next(line)) << what;
    ASSERT_EQ(std::string(line.data(), line.size()), expected) << what << ", read " << n;
    ASSERT_EQ(reader.eof(), plain.eof) << what << ", read " << n;
    ASSERT_EQ(c.ibytes, plain.counters.ibytes) << what << ", read " << n;
    ASSERT_EQ(c.linecnt, plain.counters.linecnt) << what << ", read " << n;
  }
  EXPECT_TRUE(reader.eof()) << what;
}

TEST(LineReader, AgreesWithTheByteByByteRulesAtEveryBlockEdge) {
  // Each kind of line end, cut and stray byte put just before, on and after the end of the first
  // read block, and at the end of the file, with and without a line end after it.
  const std::size_t block = LineReader::kReadBlock;
  const std::string ends[] = {
      "\n",     "\r\n",     "\r",   "\r\r\n", "\n\r", std::string("\0\n", 2),
      "x\0y\n", "\r\n\r\n", "\n\n", ""};
  for (const std::string& end : ends) {
    for (std::size_t back = 0; back <= 3; ++back) {
      for (std::size_t longLine : {std::size_t{10}, kLineMax - 1, kLineMax, kLineMax + 1}) {
        std::string bytes;
        // Short lines up to where the long one must end `back` bytes before the block's end.
        while (bytes.size() + 40 + longLine + back < block) bytes += std::string(30, 'a') + "\n";
        bytes += std::string(block - back - longLine - bytes.size(), 'b') + "\n";
        bytes += std::string(longLine, 'c') + end + "tail";
        const std::string what =
            "end [" + end + "] back " + std::to_string(back) + " line " + std::to_string(longLine);
        expectAgreement(bytes + end, what);
        expectAgreement(bytes.substr(0, block - back), what + " cut at the edge");
      }
    }
  }
}

TEST(LineReader, AgreesWithTheByteByByteRulesOnRandomBytes) {
  // Bytes drawn mostly from line ends, CRs and zero bytes, with lines of every length about the
  // limit, over several read blocks.
  std::mt19937 rng(21);
  const char alphabet[] = {'a', ' ', '\t', '\n', '\r', '\0', '.', static_cast<char>(0xF9)};
  for (int round = 0; round < 6; ++round) {
    std::string bytes;
    while (bytes.size() < 3 * LineReader::kReadBlock / (round % 3 + 1)) {
      switch (rng() % 4) {
        case 0:
          bytes += std::string(kLineMax - 3 + rng() % 6, 'L');
          break;
        case 1:
          bytes += std::string(rng() % 3000, 'M');
          break;
        default:
          for (int i = rng() % 200; i > 0; --i) bytes += alphabet[rng() % sizeof alphabet];
      }
    }
    expectAgreement(bytes, "round " + std::to_string(round));
  }
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

// Lines of every length across several blocks, written as whole blocks and a rest, and built in
// place as well as copied: the file holds each line once, in order.
TEST(LineWriter, WholeBlocksAndTheRestKeepEveryLineInOrder) {
  testkit::TempDir dir;
  Counters c;
  LineWriter w(dbc::openFile(dir.file("out"), O_WRONLY | O_CREAT | O_TRUNC, 0644), c, nullptr);
  std::mt19937 rng{3};
  std::string expected;
  long long obytes = 0;
  while (expected.size() < 3 * LineWriter::kBlock + 777) {
    const std::string line(rng() % 1001, static_cast<char>('a' + rng() % 26));
    if (rng() % 2) {
      ASSERT_TRUE(w.putline(line));
    } else {
      std::copy(line.begin(), line.end(), w.room());
      ASSERT_TRUE(w.commit(line.size()));
    }
    expected += line + "\n";
    obytes += static_cast<long long>(line.size()) + 2;
  }
  EXPECT_TRUE(w.close());
  EXPECT_EQ(testkit::readFile(dir.file("out")), expected);
  EXPECT_EQ(c.obytes, obytes);
}

TEST(LineWriter, FullDiskIsNoticed) {
  Counters c;
  LineWriter w(dbc::openFile("/dev/full", O_WRONLY), c, nullptr);
  for (int i = 0; i < 10; ++i) w.putline("x");
  EXPECT_FALSE(w.close());
}

}  // namespace
}  // namespace dbc::dbtidy
