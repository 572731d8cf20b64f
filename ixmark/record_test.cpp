#include "ixmark/record.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <random>

#include "common/io.hpp"
#include "common/stop.hpp"
#include "testkit/capture.hpp"
#include "testkit/datafile.hpp"
#include "testkit/files.hpp"

namespace dbc::ixmark {
namespace {

struct Rec {
  std::uint64_t txtpos;
  std::string text, key;
};

struct Read {
  std::vector<Rec> recs;
  std::string out;
  int stopped = -1;
  int comprs, minsiz, maxsiz;
};

Read readAll(const std::string& bytes, const std::string& segments, int recsiz = 0,
             bool ichflg = false, const Collate& col = Collate()) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("d"), bytes);
  Fd fd = openFile(dir.file("d"), O_RDONLY);
  IndexHeader h;
  parseSegments(segments, h);
  h.recsiz = recsiz;
  std::uint64_t eofpos = bytes.size() - 1;
  int eofchr = bytes.empty() ? -1 : static_cast<unsigned char>(bytes.back());
  testkit::Capture said;
  RecordReader r(fd.get(), eofpos, eofchr, h, ichflg, col, false, said.file());
  Read out;
  try {
    while (r.getrec() == 0) out.recs.push_back({r.txtpos, r.buffer2, r.keyval});
  } catch (const Stop& s) {
    out.stopped = s.status;
  }
  out.out = said.text();
  out.comprs = r.comprs;
  out.minsiz = r.minsiz;
  out.maxsiz = r.maxsiz;
  return out;
}

TEST(Getrec, DbcTypeRecords) {
  testkit::DataFile d;
  d.record("AB\nC").raw("\xFF\xFF").record("XYZ").compressed("10  0").eof();
  Read r = readAll(d.bytes(), "1-2");
  ASSERT_EQ(r.stopped, -1) << r.out;
  ASSERT_EQ(r.recs.size(), 3u);
  EXPECT_EQ(r.recs[0].text, "AB C");  // a newline inside a DBC record is a space
  EXPECT_EQ(r.recs[1].txtpos, 7u);    // past the deleted bytes in front of it
  EXPECT_EQ(r.recs[1].key, "XY");
  EXPECT_EQ(r.recs[2].text, "10  0");
  EXPECT_EQ(r.comprs, 1);
  EXPECT_EQ(r.minsiz, 3);
  EXPECT_EQ(r.maxsiz, 5);

  // Pair codes are characters of their own with ichrs on.
  Read ich = readAll(testkit::DataFile()
                         .record("\x8B"
                                 "A")
                         .eof()
                         .bytes(),
                     "1", 0, true);
  EXPECT_EQ(ich.recs[0].text,
            "\x8B"
            "A");
  EXPECT_EQ(ich.comprs, 0);

  Read empty = readAll(testkit::DataFile().eof().bytes(), "1");
  EXPECT_TRUE(empty.recs.empty());
  EXPECT_EQ(empty.stopped, -1);
  EXPECT_EQ(empty.minsiz, 99999);
  EXPECT_EQ(empty.maxsiz, 0);
}

// Records of every length across the reader's 16 KiB reads, plain and compressed, each found
// whole and at its own position.
TEST(Getrec, RecordsAcrossReads) {
  std::mt19937 gen(20261208);
  testkit::DataFile d;
  std::vector<Rec> want;
  for (int i = 0; i < 3000; ++i) {
    std::string text = "K" + std::to_string(i);
    for (std::size_t n = gen() % 120; n > 0; --n) text += "  A1.9xyz"[gen() % 9];
    want.push_back({d.bytes().size(), text, text.substr(0, 2)});
    if (i % 3 == 0) {
      d.compressed(text);
    } else {
      d.record(text);
    }
  }
  Read r = readAll(d.eof().bytes(), "1-2");
  ASSERT_EQ(r.stopped, -1) << r.out;
  ASSERT_EQ(r.recs.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    ASSERT_EQ(r.recs[i].text, want[i].text) << i;
    ASSERT_EQ(r.recs[i].txtpos, want[i].txtpos) << i;
    ASSERT_EQ(r.recs[i].key, want[i].key) << i;
  }
}

TEST(Getrec, EndOfData) {
  // A deleted record in a varying-length file ends the data.
  testkit::DataFile d;
  d.record("AAA").deleted(3).record("BBB").eof();
  Read r = readAll(d.bytes(), "1-3");
  EXPECT_EQ(r.recs.size(), 1u);
  EXPECT_EQ(r.minsiz, 0);

  // A last record not closed before the end mark is embedded damage.
  Read emb = readAll(testkit::DataFile().record("AAA").raw("BB").eof().bytes(), "1");
  EXPECT_EQ(emb.stopped, 1);
  EXPECT_EQ(emb.out, "\nEmbedded EOF at 4\n");

  // Text files: a carriage return counts; a last line without newline is still a record.
  Read t = readAll("AB\r\nCD\x7F\nEF", "1-2");
  ASSERT_EQ(t.recs.size(), 3u);
  EXPECT_EQ(t.recs[0].text, "AB ");
  EXPECT_EQ(t.recs[1].text, "CD\x7F");
  EXPECT_EQ(t.recs[2].text, "EF");
  EXPECT_EQ(t.recs[2].txtpos, 8u);
}

TEST(Getrec, SizeAndKeyFailures) {
  testkit::DataFile d;
  d.record(std::string(80, 'A')).record(std::string(79, 'B')).eof();
  Read r = readAll(d.bytes(), "1-3", 80);
  EXPECT_EQ(r.stopped, 0);
  EXPECT_EQ(r.out, "\n81 1 bad rec size 79 80\n");

  // A deleted record with a fixed record size is a bad size, not the end; its start has moved
  // past the deleted bytes to the mark.
  Read del = readAll(testkit::DataFile().deleted(4).eof().bytes(), "1", 4);
  EXPECT_EQ(del.out, "\n4 0 bad rec size 0 4\n");

  Read k = readAll(testkit::DataFile().record("ABCDEFGHIJKL").eof().bytes(), "1-10 15");
  EXPECT_EQ(k.stopped, 0);
  EXPECT_EQ(k.out, "Bad key length 10 11 0-- ABCDEFGHIJ\n");

  // Segments past the tenth do not take part in the data key.
  std::string eleven;
  for (int i = 1; i <= 11; ++i) eleven += std::to_string(i) + " ";
  Read e = readAll(testkit::DataFile().record("ABCDEFGHIJKL").eof().bytes(), eleven);
  EXPECT_EQ(e.out, "Bad key length 10 11 0-- ABCDEFGHIJ\n");

  // A decoded record too long for the buffer is refused, not overrun.
  std::string huge;
  for (int i = 0; i < 100; ++i) huge += "\xF9\xF8";
  Read l = readAll(testkit::DataFile().record(huge).eof().bytes(), "1");
  EXPECT_EQ(l.stopped, 1);
  EXPECT_EQ(l.out, "\nRecord at 0 is longer than 19999 characters\n");
}

TEST(Getrec, CollateAppliesBeforeClassifying) {
  Collate c("97:65;66:249");  // a -> A, B -> a space-run marker
  Read r = readAll(testkit::DataFile().record("abB\x03X").eof().bytes(), "1-2", 0, false, c);
  ASSERT_EQ(r.recs.size(), 1u);
  EXPECT_EQ(r.recs[0].text, "Ab   X");  // B became F9 and took the next byte as its count
  // Digits stored as pair codes are not translated.
  Collate d("49:65");
  Read p = readAll(testkit::DataFile()
                       .record("\x8B"
                               "1")
                       .eof()
                       .bytes(),
                   "1-3", 0, false, d);
  EXPECT_EQ(p.recs[0].text, "10A");
}

}  // namespace
}  // namespace dbc::ixmark
