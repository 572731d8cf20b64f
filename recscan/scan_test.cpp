#include "recscan/scan.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
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

// Every counter and every piece of carried state, by name, so that a difference names itself.
using Counters = std::map<std::string, std::int64_t>;
#define COUNTER(f) \
  { #f, std::int64_t(s.f) }
Counters counters(const Scanner& s) {
  return {COUNTER(filsiz),  COUNTER(reccnt),  COUNTER(recsiz),  COUNTER(recpos), COUNTER(minsiz),
          COUNTER(maxsiz),  COUNTER(fstsiz),  COUNTER(recsiz2), COUNTER(delsiz), COUNTER(eofcnt),
          COUNTER(errcnt),  COUNTER(errcnt2), COUNTER(ichcnt),  COUNTER(chksum), COUNTER(offset),
          COUNTER(cmpflg2), COUNTER(chgflg),  COUNTER(prvchr),  COUNTER(curchr), COUNTER(filsiz2),
          COUNTER(spcflg2), COUNTER(spccnt2)};
}
#undef COUNTER
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
Settings fixing(int mode, Settings set = uncompressed()) {
  set.fixflg = static_cast<FixMode>(mode);
  return set;
}
Settings debugging(Settings set) {
  set.dbgflg = true;
  return set;
}
Settings characters(Settings set) {
  set.ichflg = true;
  return set;
}
Settings estimating(Settings set = uncompressed()) {
  set.cmpflg = true;
  return set;
}

// One scan: the bytes fed (in blocks of `block`), the counters it must leave as "name=value ..."
// (cmpflg2: 1 seen, -1 not), the bytes as repaired (`out`, when empty: the input unchanged) and
// the debug lines.
struct Row {
  const char* name;
  Settings set;
  std::string in;
  std::string want;
  std::string out = "";
  std::string debug = "";
  bool text = false;
  std::size_t block = 65536;
};

void expectRows(const std::vector<Row>& rows, bool text = false) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testkit::Capture sink;
    Scanner s(row.set, sink.file());
    EXPECT_EQ(feed(s, row.in, text || row.text, row.block), row.out.empty() ? row.in : row.out);
    const Counters got = counters(s);
    std::istringstream want(row.want);
    for (std::string pair; want >> pair;) {
      const std::string name = pair.substr(0, pair.find('='));
      EXPECT_EQ(got.at(name), std::stoll(pair.substr(name.size() + 1))) << name;
    }
    EXPECT_EQ(sink.text(), row.debug);
  }
}

TEST(ScanDbc, CountersSizesMarksDamageAndChecksums) {
  using testkit::DataFile;
  const Settings plain = uncompressed(), comp = compressed();
  const std::string a79(79, 'A');
  expectRows({
      {"records, sizes, deleted records and marks", plain,
       DataFile().record("ABCDEFGHIJ").deleted(4).record("XYZ").raw("\xFB").eof(),
       "reccnt=3 minsiz=3 maxsiz=10 fstsiz=10 delsiz=4 eofcnt=2 errcnt=0 filsiz=22"},
      {"only a deleted record", plain, DataFile().deleted(3).eof(),
       "reccnt=1 minsiz=-1 maxsiz=-1 fstsiz=-1"},
      // Five spaces and A; then "11" and "..".
      {"space run and digit pairs", comp, bytes({0xF9, 0x05, 0x41, 0xFA, 0x8C, 0xF8, 0xFA, 0xFB}),
       "fstsiz=6 minsiz=4 errcnt=0 cmpflg2=1"},
      // With the switch on, 0x80..0xF8 are characters of their own.
      {"high bytes as characters", characters(comp), bytes({0x8C, 0xF8, 0xFA}),
       "maxsiz=2 ichcnt=2"},
      // No definition: the data itself shows the compression, and the space run is taken as one.
      {"undetermined", Settings(), bytes({0x41, 0xF9, 0x0A, 0xFA}), "cmpflg2=1 maxsiz=11 errcnt=0"},
      // Not configured as compressed: a lone 0xF9 is a character and nothing is seen.
      {"not compressed", plain, bytes({0x41, 0xF9, 0x42, 0xFA}), "cmpflg2=-1 maxsiz=3"},
      // null, CR, tab/0x14/escape (good), a high byte, deleted space after data, 0xFC..0xFE
      // (good). 0xFF adds nothing, the high byte counts one. The high byte and 0xFF are not data
      // bytes of the position count; leading 0xFF is no damage.
      {"damage classes", debugging(plain),
       bytes({0x41, 0x00, 0x0D, 0x09, 0x14, 0x1B, 0x85, 0xFF, 0xFC, 0xFE, 0xFA, 0xFF, 0xFA}),
       "errcnt=3 errcnt2=2 cmpflg2=1 delsiz=2 fstsiz=9", "",
       "0x00 1 (2)\n0x0D 2 (3)\n0x85 6 (6)\n0xFF 7 (6)\n"},
      {"on position", uncompressed(80),
       DataFile().record(std::string(80, 'A')).record(std::string(80, 'B')).eof(), "offset=0"},
      {"off position", uncompressed(80), DataFile().record(a79).record(std::string(80, 'B')),
       "offset=1"},
      {"no fixed length", plain, DataFile().record(a79), "offset=0"},
      {"fixed length, compressed", comp, DataFile().record(a79), "offset=0"},
      {"checksum 0x41", plain, DataFile().record("A"), "chksum=65"},
      {"checksum by position: 0x41 + 2 * 0x42 + 0x41", plain, DataFile().record("AB").record("A"),
       "chksum=262"},
      {"checksum wraps: (126 * 200 * 201 / 2) % 65536", plain,
       DataFile().record(std::string(200, '~')), "chksum=42232"},
  });
}

TEST(ScanDbc, EachFixModeReplacesItsBytes) {
  const std::string mixed = bytes({0x41, 0x00, 0x0D, 0x01, 0x09, 0x14, 0x1B, 0x85, 0xFF, 0xFA});
  auto mixedAs = [](int b1, int b2, int b3, int b7, int b8, int b9) {
    return bytes({0x41, b1, b2, b3, 0x09, 0x14, 0x1B, b7, b8, b9});
  };
  expectRows({
      {"mode 1", fixing(1), mixed, "", mixedAs(0x20, 0x20, 0x20, 0x85, 0xFF, 0xFA)},
      {"mode 2", fixing(2), mixed, "", mixedAs(0x20, 0x0D, 0x01, 0x85, 0xFF, 0xFA)},
      {"mode 3", fixing(3), mixed, "", mixedAs(0xFF, 0x0D, 0x01, 0x85, 0xFF, 0xFF)},
      {"mode 4", fixing(4), mixed, "", mixedAs(0x00, 0x0D, 0x01, 0x20, 0xFF, 0xFA)},
      {"mode 4, compressed", fixing(4, compressed()), mixed, ""},
      {"mode 5", fixing(5), mixed, "", mixedAs(0x00, 0x0D, 0x01, 0x85, 0x20, 0xFA)},
      // Deleted space at the start of a record stays.
      {"mode 5, leading 0xFF", fixing(5), bytes({0xFF, 0xFF, 0x41, 0xFF, 0xFA}), "",
       bytes({0xFF, 0xFF, 0x41, 0x20, 0xFA})},
      {"mode 2, null alone", fixing(2), bytes({0x41, 0x00, 0x42, 0xFA}), "",
       bytes({0x41, 0x20, 0x42, 0xFA})},
      // Mode three swallows the record mark after a null or deleted space; the mark after a 0xFF
      // becomes deleted space, a mark as the file's first byte stays. The previous byte is the
      // one read, before its repair, across a block boundary too.
      {"mode 3, marks after nulls", fixing(3), bytes({0x00, 0x00, 0xFA, 0x41, 0xFA}),
       "reccnt=1 errcnt=3", bytes({0xFF, 0xFF, 0xFF, 0x41, 0xFA})},
      {"mode 3, marks after 0xFF", fixing(3), bytes({0xFA, 0xFF, 0xFA, 0xFB}), "reccnt=1 delsiz=2",
       bytes({0xFA, 0xFF, 0xFF, 0xFB})},
      {"mode 3, across blocks", fixing(3), bytes({0x41, 0x00, 0xFA}), "", bytes({0x41, 0xFF, 0xFF}),
       "", false, 2},
  });
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
  using testkit::DataFile;
  const Settings plain = estimating(), ich = characters(estimating());
  expectRows({
      {"letters", plain, DataFile().record("AB"), "filsiz2=3"},
      {"digit pair", plain, DataFile().record("12"), "filsiz2=2"},
      {"digit pair, high bytes as characters", ich, DataFile().record("12"), "filsiz2=3"},
      {"five spaces", plain, DataFile().record("     "), "filsiz2=3"},
      {"space and letter", plain, DataFile().record(" A"), "filsiz2=3"},
      {"digit and space", plain, DataFile().record("1 "), "filsiz2=3"},
      {"number", plain, DataFile().record("123.5"), "filsiz2=4"},
      {"248 spaces", plain, DataFile().record(std::string(248, ' ')), "filsiz2=3"},
      {"250 spaces", plain, DataFile().record(std::string(250, ' ')), "filsiz2=5"},
      {"249 spaces", plain, DataFile().record(std::string(249, ' ')), "filsiz2=4"},
      // What is still open at the end of the file adds nothing.
      {"open spaces at the end", plain, "AB  ", "filsiz2=2"},
      {"open digit at the end", plain, "A1", "filsiz2=1"},
      {"already compressed", estimating(compressed()), DataFile().record("AB"), "filsiz2=0"},
  });
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
      SCOPED_TRACE("compression " + std::to_string(cmpflg1) + ", block " + std::to_string(block));
      Scanner split(set);
      EXPECT_EQ(feed(split, data, false, block), w);
      EXPECT_EQ(counters(split), counters(whole));
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

TEST(ScanText, LinesSizesPositionsCrlfDamageAndFixModes) {
  const Settings text;
  const std::string in = bytes({'A', 0x00, 0x0D, 0x09, 0x7F, 0xFF, '\n'});
  auto inAs = [](int b1, int b2) { return bytes({'A', b1, b2, 0x09, 0x7F, 0xFF, '\n'}); };
  expectRows(
      {
          {"lines", text, testkit::textFile({"AB", "CD"}),
           "reccnt=2 minsiz=2 maxsiz=2 fstsiz=2 offset=0"},
          {"lines off position", text, testkit::textFile({"AB", "C", "DE"}), "offset=1"},
          // An empty first line: no position is tested, and it is no size.
          {"empty first line", text, testkit::textFile({"", "A", "BC", ""}),
           "offset=0 reccnt=4 fstsiz=1"},
          // Text after the last line feed is no record.
          {"text after the last line feed", text, "AB\nCDEFG", "reccnt=1 maxsiz=2 filsiz=8"},
          {"crlf", text, testkit::textFile(std::vector<std::string>(100, "LINE"), true),
           "errcnt=100 errcnt2=0 maxsiz=5"},
          // chksum: 'A' + 2 * 0 + 3 * 1 + 4 * 0x80 + 5 * 0xFA + 6 * 0xFF
          {"damage and debug lines", debugging(text),
           bytes({'A', 0x7F, 0x00, 0x01, 0x80, 0xFA, 0xFF, '\n'}),
           "delsiz=1 errcnt=2 errcnt2=1 maxsiz=6 eofcnt=0 chksum=3360", "",
           "0x00 2 (2)\n0x01 3 (3)\n"},
          {"fix mode 0", fixing(0, text), in, ""},
          {"fix mode 1", fixing(1, text), in, "", inAs(' ', ' ')},
          {"fix mode 2", fixing(2, text), in, "", inAs(' ', 0x0D)},
          {"fix mode 3", fixing(3, text), in, "", inAs(0xFF, 0x0D)},
          {"fix mode 4", fixing(4, text), in, ""},
          {"fix mode 5", fixing(5, text), in, ""},
      },
      true);
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
  for (int round = 0; round < 120; ++round) {
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
    // Each engine this processor runs, in turn.
    const auto engine = static_cast<Engine>(round % 3);
    if (!engineRuns(engine)) continue;
    testkit::Capture fastOut, plainOut;
    Scanner fast(set, fastOut.file()), plain(set, plainOut.file());
    fast.setEngine(engine);
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
    EXPECT_EQ(counters(fast), counters(plain));
  }
}

}  // namespace
}  // namespace dbc::recscan
