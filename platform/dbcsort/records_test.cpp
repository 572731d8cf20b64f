#include "platform/dbcsort/records.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/io.hpp"
#include "testkit/files.hpp"

namespace dbc::dbcsort {
namespace {

std::vector<std::string> readAll(const std::string& bytes, Form form, std::size_t buffer,
                                 off_t start = 0, off_t end = -1) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("f"), bytes);
  dbc::Fd fd = dbc::openFile(dir.file("f"), O_RDONLY);
  RecordReader r(fd.get(), form, start, end, buffer, "f");
  std::vector<std::string> out;
  std::string_view rec;
  while (r.next(rec)) out.emplace_back(rec);
  return out;
}

using Records = std::vector<std::string>;

TEST(RecordReader, TextLines) {
  for (std::size_t buf : {64, 4096}) {
    EXPECT_EQ(readAll("a\nbb\n\nccc\n", Form::kText, buf), (Records{"a", "bb", "", "ccc"}));
    EXPECT_EQ(readAll("a\nlast", Form::kText, buf), (Records{"a", "last"}));
    EXPECT_EQ(readAll("", Form::kText, buf), Records{});
    // 0xFA and 0xFB are ordinary bytes of a text line.
    EXPECT_EQ(readAll("x\xFA\xFBy\n", Form::kText, buf), (Records{"x\xFA\xFBy"}));
  }
}

TEST(RecordReader, LinesLongerThanTheBuffer) {
  std::string big(1000, 'x');
  EXPECT_EQ(readAll(big + "\n" + "y\n" + big, Form::kText, 64), (Records{big, "y", big}));
}

TEST(RecordReader, CompressedRecords) {
  // A count byte of 10 is a line feed, of 0x20 a space: neither ends the record.
  std::string a =
      "\xF9\x0A"
      "12";
  std::string b =
      "\xF9\xFA"
      "x";  // even a count that looks like a mark is a count
  EXPECT_EQ(readAll(a + "\xFA" + b + "\xFA\xFB", Form::kCompressed, 4096), (Records{a, b}));
  // A line feed ends a record too; the mark 0xFB ends the file, whatever follows it.
  EXPECT_EQ(readAll("p\nq\xFA\xFBjunk\xFA", Form::kCompressed, 4096), (Records{"p", "q"}));
  // No end-of-file mark: read to the end, an open last record included.
  EXPECT_EQ(readAll("p\xFAq", Form::kCompressed, 4096), (Records{"p", "q"}));
  EXPECT_EQ(readAll("p\xFA", Form::kCompressed, 4096), (Records{"p"}));
  // A record cut by the end-of-file mark is still a record; empty records are kept.
  EXPECT_EQ(readAll("\xFA"
                    "ab\xFB",
                    Form::kCompressed, 4096),
            (Records{"", "ab"}));
  EXPECT_EQ(readAll("\xFB", Form::kCompressed, 4096), Records{});
  EXPECT_EQ(readAll("", Form::kCompressed, 4096), Records{});
  // A run marker left at the very end without its count stands for nothing and is dropped:
  // written back before a mark it would take the mark for its count.
  EXPECT_EQ(readAll("p\xFAq\x80\xF9", Form::kCompressed, 4096), (Records{"p", "q\x80"}));
  EXPECT_EQ(readAll("p\xFA\xF9", Form::kCompressed, 4096), (Records{"p", ""}));
  for (std::size_t lead = 60; lead < 70; ++lead)  // and at every place in a small buffer
    ASSERT_EQ(readAll(std::string(lead, 'k') + "\xF9", Form::kCompressed, 64),
              Records{std::string(lead, 'k')});
}

TEST(RecordReader, CountBytesAcrossBufferBoundaries) {
  // Every position of the marker relative to the 64-byte buffer's end.
  for (std::size_t lead = 50; lead < 140; ++lead) {
    std::string rec = std::string(lead, 'k') + "\xF9\x0A" + "z";
    std::string file = rec + "\xFA" + rec + "\n" + "\xFB";
    ASSERT_EQ(readAll(file, Form::kCompressed, 64), (Records{rec, rec})) << lead;
  }
}

// A mapped input is split by its own reader: it finds the records RecordReader finds, with a
// buffer of any size, for every length of random data dense in the bytes that end or mark
// something (ends, marks, space runs and their counts, a marker at the very end).
TEST(SpanReader, AgreesWithTheFileReader) {
  std::mt19937 gen(21);
  const char bytes[] = {'a', ' ', '\n', '\xFA', '\xFB', '\xF9', '\x80', '\x0A'};
  for (int round = 0; round < 300; ++round) {
    std::string data(gen() % 200, 'x');
    for (char& c : data) c = bytes[gen() % sizeof bytes];
    for (Form form : {Form::kText, Form::kCompressed}) {
      for (std::size_t len = 0; len <= data.size(); len += 1 + round % 7) {
        const std::string cut = data.substr(0, len);
        SpanReader span(reinterpret_cast<const unsigned char*>(cut.data()), cut.size(), form);
        Records mapped;
        std::string_view rec;
        while (span.next(rec)) mapped.emplace_back(rec);
        ASSERT_EQ(mapped, readAll(cut, form, 64)) << ::testing::PrintToString(cut);
        // Every record lies where the bytes are, in order: the sort leaves them there.
        ASSERT_FALSE(span.next(rec));
      }
    }
  }
}

TEST(RecordReader, AStretchOfTheFile) {
  EXPECT_EQ(readAll("aa\nbb\ncc\ndd\n", Form::kText, 64, 3, 9), (Records{"bb", "cc"}));
}

}  // namespace
}  // namespace dbc::dbcsort
