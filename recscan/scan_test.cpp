#include "recscan/scan.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "testkit/capture.hpp"
#include "testkit/datafile.hpp"

namespace dbc::recscan {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

// Feeds `data` to the scanner in blocks of `block` bytes; returns the bytes as repaired.
std::string feed(Scanner& s, std::string data, bool text = false, std::size_t block = 65536) {
  for (std::size_t pos = 0; pos < data.size(); pos += block) {
    std::size_t n = std::min(block, data.size() - pos);
    auto* p = reinterpret_cast<unsigned char*>(data.data() + pos);
    text ? s.processBuffer2(p, n, static_cast<std::int64_t>(pos))
         : s.processBuffer(p, n, static_cast<std::int64_t>(pos));
  }
  return data;
}

Settings uncompressed(int dmflen = 0) {
  Settings set;
  set.dmf = Dmf{Compression::kNotConfigured, dmflen};
  return set;
}

Settings compressed() {
  Settings set;
  set.dmf.cmpflg1 = Compression::kConfigured;
  return set;
}

TEST(ScanDbc, RecordsSizesDeletedRecordsAndMarks) {
  const Settings plain = uncompressed();
  Scanner s(plain);
  feed(s, testkit::DataFile().record("ABCDEFGHIJ").deleted(4).record("XYZ").raw("\xFB").eof());
  EXPECT_EQ(s.reccnt, 3);
  EXPECT_EQ(s.minsiz, 3);
  EXPECT_EQ(s.maxsiz, 10);
  EXPECT_EQ(s.fstsiz, 10);
  EXPECT_EQ(s.delsiz, 4);
  EXPECT_EQ(s.eofcnt, 2);
  EXPECT_EQ(s.errcnt, 0);
  EXPECT_EQ(s.filsiz, 11 + 5 + 4 + 2);

  Scanner empty(plain);
  feed(empty, testkit::DataFile().deleted(3).eof());
  EXPECT_EQ(empty.reccnt, 1);
  EXPECT_EQ(empty.minsiz, -1);
  EXPECT_EQ(empty.maxsiz, -1);
  EXPECT_EQ(empty.fstsiz, -1);
}

TEST(ScanDbc, SpaceRunsAndDigitPairsByCompression) {
  const Settings comp = compressed();
  Scanner s(comp);
  feed(s, bytes({0xF9, 0x05, 0x41, 0xFA, 0x8C, 0xF8, 0xFA, 0xFB}));
  EXPECT_EQ(s.fstsiz, 6);  // five spaces and A
  EXPECT_EQ(s.minsiz, 4);  // "11" and ".."
  EXPECT_EQ(s.errcnt, 0);
  EXPECT_EQ(s.cmpflg2, CompressionSeen::kYes);

  // With the switch on, 0x80..0xF8 are characters of their own.
  Settings on = compressed();
  on.ichflg = true;
  Scanner ich(on);
  feed(ich, bytes({0x8C, 0xF8, 0xFA}));
  EXPECT_EQ(ich.maxsiz, 2);
  EXPECT_EQ(ich.ichcnt, 2);

  // No definition: the data itself shows the compression, and the space run is taken as one.
  const Settings none;
  Scanner undetermined(none);
  feed(undetermined, bytes({0x41, 0xF9, 0x0A, 0xFA}));
  EXPECT_EQ(undetermined.cmpflg2, CompressionSeen::kYes);
  EXPECT_EQ(undetermined.maxsiz, 11);
  EXPECT_EQ(undetermined.errcnt, 0);

  // Not configured as compressed: a lone 0xF9 is a character and nothing is seen.
  const Settings notConfigured = uncompressed();
  Scanner plain(notConfigured);
  feed(plain, bytes({0x41, 0xF9, 0x42, 0xFA}));
  EXPECT_EQ(plain.cmpflg2, CompressionSeen::kNo);
  EXPECT_EQ(plain.maxsiz, 3);
}

TEST(ScanDbc, DamageClassesAndDebugLines) {
  testkit::Capture sink;
  Settings set = uncompressed();
  set.dbgflg = true;
  Scanner s(set, sink.file());
  // null, CR, tab/0x14/escape (good), a high byte, deleted space after data, 0xFC..0xFE (good)
  feed(s, bytes({0x41, 0x00, 0x0D, 0x09, 0x14, 0x1B, 0x85, 0xFF, 0xFC, 0xFE, 0xFA, 0xFF, 0xFA}));
  EXPECT_EQ(s.errcnt, 3);
  EXPECT_EQ(s.errcnt2, 2);
  EXPECT_EQ(s.cmpflg2, CompressionSeen::kYes);
  EXPECT_EQ(s.delsiz, 2);
  EXPECT_EQ(s.fstsiz, 9);  // 0xFF adds nothing, the high byte counts one
  // The high byte and 0xFF are not data bytes of the position count; leading 0xFF is no damage.
  EXPECT_EQ(sink.text(), "0x00 1 (2)\n0x0D 2 (3)\n0x85 6 (6)\n0xFF 7 (6)\n");
}

TEST(ScanDbc, FixedLengthPositions) {
  const Settings len80 = uncompressed(80), len0 = uncompressed(0), packed = compressed();
  Scanner s(len80);
  feed(s, testkit::DataFile().record(std::string(80, 'A')).record(std::string(80, 'B')).eof());
  EXPECT_FALSE(s.offset);
  Scanner off(len80);
  feed(off, testkit::DataFile().record(std::string(79, 'A')).record(std::string(80, 'B')));
  EXPECT_TRUE(off.offset);
  Scanner none(len0);
  feed(none, testkit::DataFile().record(std::string(79, 'A')));
  EXPECT_FALSE(none.offset);
  Scanner comp(packed);
  feed(comp, testkit::DataFile().record(std::string(79, 'A')));
  EXPECT_FALSE(comp.offset);
}

TEST(ScanDbc, ChecksumWeightsByPositionAndWraps) {
  const Settings plain = uncompressed();
  Scanner one(plain);
  feed(one, testkit::DataFile().record("A"));
  EXPECT_EQ(one.chksum, 0x41);
  Scanner two(plain);
  feed(two, testkit::DataFile().record("AB").record("A"));
  EXPECT_EQ(two.chksum, 0x41 + 2 * 0x42 + 0x41);
  Scanner wrap(plain);
  feed(wrap, testkit::DataFile().record(std::string(200, '~')));
  EXPECT_EQ(wrap.chksum, (126 * 200 * 201 / 2) % 65536);
}

struct FixCase {
  int mode;
  Settings base;
  std::string in;
  std::string out;
};

TEST(ScanDbc, EachFixModeReplacesItsBytes) {
  const std::string mixed = bytes({0x41, 0x00, 0x0D, 0x01, 0x09, 0x14, 0x1B, 0x85, 0xFF, 0xFA});
  const FixCase cases[] = {
      {1, uncompressed(), mixed,
       bytes({0x41, 0x20, 0x20, 0x20, 0x09, 0x14, 0x1B, 0x85, 0xFF, 0xFA})},
      {2, uncompressed(), mixed,
       bytes({0x41, 0x20, 0x0D, 0x01, 0x09, 0x14, 0x1B, 0x85, 0xFF, 0xFA})},
      {3, uncompressed(), mixed,
       bytes({0x41, 0xFF, 0x0D, 0x01, 0x09, 0x14, 0x1B, 0x85, 0xFF, 0xFF})},
      {4, uncompressed(), mixed,
       bytes({0x41, 0x00, 0x0D, 0x01, 0x09, 0x14, 0x1B, 0x20, 0xFF, 0xFA})},
      {4, compressed(), mixed, mixed},
      {5, uncompressed(), mixed,
       bytes({0x41, 0x00, 0x0D, 0x01, 0x09, 0x14, 0x1B, 0x85, 0x20, 0xFA})},
      // Deleted space at the start of a record stays.
      {5, uncompressed(), bytes({0xFF, 0xFF, 0x41, 0xFF, 0xFA}),
       bytes({0xFF, 0xFF, 0x41, 0x20, 0xFA})},
      {2, uncompressed(), bytes({0x41, 0x00, 0x42, 0xFA}), bytes({0x41, 0x20, 0x42, 0xFA})},
  };
  for (const FixCase& c : cases) {
    Settings set = c.base;
    set.fixflg = static_cast<FixMode>(c.mode);
    Scanner s(set);
    EXPECT_EQ(feed(s, c.in), c.out) << "mode " << c.mode;
  }
}

TEST(ScanDbc, FixModeThreeSwallowsRecordMarksAfterNullOrDeleted) {
  Settings set = uncompressed();
  set.fixflg = FixMode::kNullToDeleted;
  Scanner s(set);
  EXPECT_EQ(feed(s, bytes({0x00, 0x00, 0xFA, 0x41, 0xFA})), bytes({0xFF, 0xFF, 0xFF, 0x41, 0xFA}));
  EXPECT_EQ(s.reccnt, 1);
  EXPECT_EQ(s.errcnt, 3);
  // The mark after a 0xFF becomes deleted space; a mark as the file's first byte stays.
  Scanner d(set);
  EXPECT_EQ(feed(d, bytes({0xFA, 0xFF, 0xFA, 0xFB})), bytes({0xFA, 0xFF, 0xFF, 0xFB}));
  EXPECT_EQ(d.reccnt, 1);
  EXPECT_EQ(d.delsiz, 2);
  // The previous byte is the one read, before its repair, across a block boundary too.
  Scanner b(set);
  EXPECT_EQ(feed(b, bytes({0x41, 0x00, 0xFA}), false, 2), bytes({0x41, 0xFF, 0xFF}));
}

TEST(ScanDbc, WriteBackFromTheFirstRepairOn) {
  Settings set = uncompressed();
  set.fixflg = FixMode::kNullToSpace;
  Scanner s(set);
  std::string clean = testkit::DataFile().record("ABC");
  std::string bad = testkit::DataFile().record(bytes({0x41, 0x00}));
  auto block = [&](std::string data) {
    return s.processBuffer(reinterpret_cast<unsigned char*>(data.data()), data.size(), 0);
  };
  EXPECT_FALSE(block(clean));
  EXPECT_TRUE(block(bad));
  EXPECT_TRUE(block(clean));  // once repaired, every later block goes back too

  const Settings check = uncompressed();
  Scanner nofix(check);
  std::string data = bad;
  EXPECT_FALSE(nofix.processBuffer(reinterpret_cast<unsigned char*>(data.data()), 3, 0));
  EXPECT_TRUE(nofix.chgflg);
}

TEST(ScanDbc, CompressedSizeEstimate) {
  struct Case {
    std::string data;
    bool ichflg;
    std::int64_t expect;
  };
  const Case cases[] = {
      {testkit::DataFile().record("AB"), false, 3},
      {testkit::DataFile().record("12"), false, 2},
      {testkit::DataFile().record("12"), true, 3},
      {testkit::DataFile().record("     "), false, 3},
      {testkit::DataFile().record(" A"), false, 3},
      {testkit::DataFile().record("1 "), false, 3},
      {testkit::DataFile().record("123.5"), false, 4},
      {testkit::DataFile().record(std::string(248, ' ')), false, 3},
      {testkit::DataFile().record(std::string(250, ' ')), false, 5},
      {testkit::DataFile().record(std::string(249, ' ')), false, 4},
      // What is still open at the end of the file adds nothing.
      {"AB  ", false, 2},
      {"A1", false, 1},
  };
  for (const Case& c : cases) {
    Settings set = uncompressed();
    set.cmpflg = true;
    set.ichflg = c.ichflg;
    Scanner s(set);
    feed(s, c.data);
    EXPECT_EQ(s.filsiz2, c.expect) << c.data.size();
  }
  Settings comp = compressed();
  comp.cmpflg = true;
  Scanner none(comp);
  feed(none, testkit::DataFile().record("AB"));
  EXPECT_EQ(none.filsiz2, 0);
}

TEST(ScanDbc, BlockBoundariesChangeNothing) {
  // Space run marker and its count, digit pairs, records, the estimate: split at every place.
  std::string data = testkit::DataFile()
                         .compressed("AB    12.5  X")
                         .record(bytes({0x41, 0x00, 0x0D, 0xFF, 0x42}))
                         .raw("99  9 ")
                         .eof();
  for (int cmpflg1 : {-1, 0, 1}) {
    Settings set;
    set.dmf.cmpflg1 = static_cast<Compression>(cmpflg1);
    set.cmpflg = true;
    set.fixflg = FixMode::kNullToDeleted;
    Scanner whole(set);
    std::string w = feed(whole, data);
    for (std::size_t block = 1; block < data.size(); ++block) {
      Scanner split(set);
      EXPECT_EQ(feed(split, data, false, block), w);
      EXPECT_EQ(split.fstsiz, whole.fstsiz);
      EXPECT_EQ(split.maxsiz, whole.maxsiz);
      EXPECT_EQ(split.chksum, whole.chksum);
      EXPECT_EQ(split.filsiz2, whole.filsiz2);
      EXPECT_EQ(split.errcnt, whole.errcnt);
    }
  }
}

TEST(ScanDbc, HugeRecordSizesDoNotOverflow) {
  const Settings comp = compressed();
  Scanner s(comp);
  std::string block;
  for (int i = 0; i < 32768; ++i) block += bytes({0xF9, 0xF8});
  std::int64_t pos = 0;
  for (int i = 0; i < 265; ++i) {  // 265 * 32768 runs of 248 spaces: past 2^31 characters
    s.processBuffer(reinterpret_cast<unsigned char*>(block.data()), block.size(), pos);
    pos += static_cast<std::int64_t>(block.size());
  }
  unsigned char mark = 0xFA;
  s.processBuffer(&mark, 1, pos);
  EXPECT_EQ(s.maxsiz, std::int64_t{265} * 32768 * 248);
}

TEST(ScanText, LinesSizesAndPositions) {
  const Settings text;
  Scanner s(text);
  feed(s, testkit::textFile({"AB", "CD"}), true);
  EXPECT_EQ(s.reccnt, 2);
  EXPECT_EQ(s.minsiz, 2);
  EXPECT_EQ(s.maxsiz, 2);
  EXPECT_EQ(s.fstsiz, 2);
  EXPECT_FALSE(s.offset);

  Scanner off(text);
  feed(off, testkit::textFile({"AB", "C", "DE"}), true);
  EXPECT_TRUE(off.offset);

  // An empty first line: no position is tested, and it is no size.
  Scanner empty(text);
  feed(empty, testkit::textFile({"", "A", "BC", ""}), true);
  EXPECT_FALSE(empty.offset);
  EXPECT_EQ(empty.reccnt, 4);
  EXPECT_EQ(empty.fstsiz, 1);

  // Text after the last line feed is no record.
  Scanner tail(text);
  feed(tail, "AB\nCDEFG", true);
  EXPECT_EQ(tail.reccnt, 1);
  EXPECT_EQ(tail.maxsiz, 2);
  EXPECT_EQ(tail.filsiz, 8);
}

TEST(ScanText, CrlfDeletedSpaceAndDamage) {
  std::vector<std::string> lines(100, "LINE");
  const Settings text;
  Scanner crlf(text);
  feed(crlf, testkit::textFile(lines, true), true);
  EXPECT_EQ(crlf.errcnt, 100);
  EXPECT_EQ(crlf.errcnt2, 0);
  EXPECT_EQ(crlf.maxsiz, 5);

  testkit::Capture sink;
  Settings set;
  set.dbgflg = true;
  Scanner s(set, sink.file());
  feed(s, bytes({'A', 0x7F, 0x00, 0x01, 0x80, 0xFA, 0xFF, '\n'}), true);
  EXPECT_EQ(s.delsiz, 1);
  EXPECT_EQ(s.errcnt, 2);
  EXPECT_EQ(s.errcnt2, 1);
  EXPECT_EQ(s.maxsiz, 6);
  EXPECT_EQ(s.eofcnt, 0);
  EXPECT_EQ(s.chksum, 'A' + 2 * 0 + 3 * 1 + 4 * 0x80 + 5 * 0xFA + 6 * 0xFF);
  EXPECT_EQ(sink.text(), "0x00 2 (2)\n0x01 3 (3)\n");
}

TEST(ScanText, FixModes) {
  const std::string in = bytes({'A', 0x00, 0x0D, 0x09, 0x7F, 0xFF, '\n'});
  const std::string out[] = {
      in,
      bytes({'A', ' ', ' ', 0x09, 0x7F, 0xFF, '\n'}),
      bytes({'A', ' ', 0x0D, 0x09, 0x7F, 0xFF, '\n'}),
      bytes({'A', 0xFF, 0x0D, 0x09, 0x7F, 0xFF, '\n'}),
      in,
      in,
  };
  for (int mode = 0; mode <= 5; ++mode) {
    Settings set;
    set.fixflg = static_cast<FixMode>(mode);
    Scanner s(set);
    EXPECT_EQ(feed(s, in, true), out[mode]) << "mode " << mode;
  }
}

// Bytes with long printable runs broken by every kind of special byte, as damaged files are.
std::string randomFile(std::mt19937& rng, std::size_t size) {
  static const unsigned char kSpecial[] = {0x00, 0x01, 0x09, 0x0A, 0x0D, 0x14, 0x1B, 0x1F,
                                           0x7F, 0x80, 0x8C, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC,
                                           0xFF, ' ',  '0',  '5',  '.',  0x20, 0x7E, 0xC0};
  std::string out;
  std::uniform_int_distribution<int> len(0, 90), printable(0x20, 0x7F), special(0, 23), kind(0, 9);
  while (out.size() < size) {
    int n = len(rng);
    for (int i = 0; i < n; ++i) {
      int k = kind(rng);
      out.push_back(static_cast<char>(k < 2 ? ' ' : k < 4 ? '0' + k : printable(rng)));
    }
    if (len(rng) == 0) out.append(200 + rng() % 400, ' ');  // now and then a run past 248
    int m = 1 + len(rng) % 3;
    for (int i = 0; i < m; ++i) out.push_back(static_cast<char>(kSpecial[special(rng)]));
  }
  out.resize(size);
  return out;
}

TEST(ScanFastPath, SameResultsAsTheByteRulesOnRandomFiles) {
  std::mt19937 rng(20210531);
  for (int round = 0; round < 80; ++round) {
    std::string data = randomFile(rng, 1 + rng() % 50000);
    Settings set;
    set.fixflg = static_cast<FixMode>(rng() % 6);
    set.dmf.cmpflg1 = static_cast<Compression>(static_cast<int>(rng() % 3) - 1);
    set.ichflg = rng() % 3 == 0;
    set.cmpflg = rng() % 2 == 0;
    set.dbgflg = true;
    set.dmf.dmflen = static_cast<int>(rng() % 100);
    const bool text = rng() % 3 == 0;
    const std::size_t block = 1 + rng() % 20000;
    testkit::Capture fastOut, plainOut;
    Scanner fast(set, fastOut.file()), plain(set, plainOut.file());
    plain.setFastPath(false);
    std::string a = data, b = data;
    for (std::size_t pos = 0; pos < data.size(); pos += block) {
      std::size_t n = std::min(block, data.size() - pos);
      auto* pa = reinterpret_cast<unsigned char*>(a.data() + pos);
      auto* pb = reinterpret_cast<unsigned char*>(b.data() + pos);
      auto at = static_cast<std::int64_t>(pos);
      bool wa = text ? fast.processBuffer2(pa, n, at) : fast.processBuffer(pa, n, at);
      bool wb = text ? plain.processBuffer2(pb, n, at) : plain.processBuffer(pb, n, at);
      ASSERT_EQ(wa, wb);
    }
    SCOPED_TRACE("round " + std::to_string(round));
    EXPECT_EQ(a, b);
    EXPECT_EQ(fastOut.text(), plainOut.text());
    EXPECT_EQ(fast.filsiz, plain.filsiz);
    EXPECT_EQ(fast.reccnt, plain.reccnt);
    EXPECT_EQ(fast.recsiz, plain.recsiz);
    EXPECT_EQ(fast.recpos, plain.recpos);
    EXPECT_EQ(fast.minsiz, plain.minsiz);
    EXPECT_EQ(fast.maxsiz, plain.maxsiz);
    EXPECT_EQ(fast.fstsiz, plain.fstsiz);
    EXPECT_EQ(fast.recsiz2, plain.recsiz2);
    EXPECT_EQ(fast.delsiz, plain.delsiz);
    EXPECT_EQ(fast.eofcnt, plain.eofcnt);
    EXPECT_EQ(fast.errcnt, plain.errcnt);
    EXPECT_EQ(fast.errcnt2, plain.errcnt2);
    EXPECT_EQ(fast.ichcnt, plain.ichcnt);
    EXPECT_EQ(fast.chksum, plain.chksum);
    EXPECT_EQ(fast.offset, plain.offset);
    EXPECT_EQ(fast.cmpflg2, plain.cmpflg2);
    EXPECT_EQ(fast.chgflg, plain.chgflg);
    EXPECT_EQ(fast.prvchr, plain.prvchr);
    EXPECT_EQ(fast.curchr, plain.curchr);
    EXPECT_EQ(fast.filsiz2, plain.filsiz2);
    EXPECT_EQ(fast.spcflg2, plain.spcflg2);
    EXPECT_EQ(fast.spccnt2, plain.spccnt2);
  }
}

}  // namespace
}  // namespace dbc::recscan
