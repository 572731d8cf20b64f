#include "ixmark/isam.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <vector>

#include "common/io.hpp"
#include "common/stop.hpp"
#include "testkit/capture.hpp"
#include "testkit/files.hpp"
#include "testkit/isam.hpp"

namespace dbc::ixmark {
namespace {

struct Seen {
  std::string key;
  std::uint64_t txtpos, filpos1;
  int bufpos;
  bool operator==(const Seen&) const = default;
};

struct Walked {
  IndexHeader h;
  std::vector<Seen> seen;
  std::string out;
  int stopped = -1;  // status of a Stop, -1 when the walk ended normally
};

Walked walkBytes(const std::string& bytes, bool ichflg = false) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("x.ISI"), bytes);
  Fd fd = openFile(dir.file("x.ISI"), O_RDONLY);
  Walked w;
  unsigned char hdr[kHeaderSize] = {};
  preadFull(fd.get(), hdr, sizeof hdr, 0);
  testkit::Capture out;
  try {
    w.h = readHeader(hdr, "x", false, out.file());
    IsamWalk walk(fd.get(), w.h, "x", out.file());
    walk.walk(
        [&](const IndexEntry& e) {
          w.seen.push_back({std::string(e.keyval), e.txtpos, e.filpos1, e.bufpos});
        },
        ichflg);
  } catch (const Stop& s) {
    w.stopped = s.status;
  }
  w.out = out.text();
  return w;
}

testkit::IsamHeader header(std::string segments = "1-3", int blksiz = 256) {
  return {"DATA", std::move(segments), blksiz, 0, 'I', false};
}

TEST(IsamHeader, FieldsAndSegments) {
  const std::string segments = std::string("1-10 15\xFA") + "0-5";
  testkit::IsamHeader hd{"dir/CUST.DAT", segments, 512, 80, 'I', false};
  testkit::IsamFile f(hd);
  Walked w = walkBytes(f.bytes());
  EXPECT_EQ(w.stopped, -1);
  EXPECT_EQ(w.h.blksiz, 512);
  EXPECT_EQ(w.h.recsiz, 80);
  EXPECT_EQ(w.h.txtnam, "dir/CUST.DAT");
  EXPECT_EQ(w.h.keysiz, 11);  // 1..10, 15..15, and 0-5 counts nothing
  EXPECT_EQ(w.h.strpos[1], 15);
  EXPECT_EQ(w.h.endpos[1], 15);
  EXPECT_EQ(w.h.lenpos[2], 0);
  EXPECT_TRUE(w.seen.empty());  // root link 0: no entries
}

TEST(IsamHeader, RefusedHeaders) {
  auto h = header();
  h.type = 'X';
  EXPECT_EQ(walkBytes(testkit::IsamFile(h).bytes()).out, "Bad index file x \n");
  h = header();
  h.noSegments = true;
  EXPECT_EQ(walkBytes(testkit::IsamFile(h).bytes()).out, "Incompatible index file\n");
  EXPECT_EQ(walkBytes(testkit::IsamFile(header("1-163")).bytes()).stopped, -1);
  std::string sixteen;
  for (int i = 1; i <= 16; ++i) sixteen += std::to_string(i) + " ";
  // Columns far beyond any int are held at a bound, so a segment's length never overflows.
  for (const auto& [h, said] : std::vector<std::pair<testkit::IsamHeader, std::string>>{
           {header("1-3", 0), "block size"},
           {header("1-3", 16385), "block size"},
           {header("1-164"), "key size 164"},
           {header("1-99999999999"), "key size 1000000 is above 163"},
           {header("99999999999-1"), "ends before it starts"},
           {header(sixteen), "more than 15 key segments"}}) {
    SCOPED_TRACE(h.segments + " in blocks of " + std::to_string(h.blksiz));
    Walked w = walkBytes(testkit::IsamFile(h).bytes());
    EXPECT_EQ(w.stopped, 1);
    EXPECT_NE(w.out.find(said), std::string::npos) << w.out;
  }
}

TEST(IsamWalk, SingleLevelVRoot) {
  testkit::IsamFile f(header());
  // ABC, ABD (count 2), XYZ (count 0), XYZ again (count 3 = keysiz, no suffix)
  auto root = f.vBlock({{"ABC", 10}, {"ABD", 20}, {"XYZ", 30}, {"XYZ", 40}});
  f.setRoot(root);
  Walked w = walkBytes(f.bytes());
  // bufpos is just past each entry's record position: 1+3+6, then +1+1+6, +1+3+6, +1+0+6.
  std::vector<Seen> want{
      {"ABC", 10, root, 10}, {"ABD", 20, root, 18}, {"XYZ", 30, root, 28}, {"XYZ", 40, root, 35}};
  EXPECT_EQ(w.seen, want);
}

TEST(IsamWalk, UBlocksInOrderWithZeroLinks) {
  testkit::IsamFile f(header());
  auto left = f.vBlock({{"AAA", 1}, {"AAB", 2}});
  auto mid = f.vBlock({{"CCC", 4}});
  // Leftmost child, an entry with child, an entry without child, a last entry with child 0.
  auto root = f.uBlock(left, {{"BBB", 3, mid}, {"DDD", 5, 0}, {"EEE", 6, 0}});
  f.setRoot(root);
  Walked w = walkBytes(f.bytes());
  std::vector<Seen> want{{"AAA", 1, left, 10}, {"AAB", 2, left, 18}, {"BBB", 3, root, 10},
                         {"CCC", 4, mid, 10},  {"DDD", 5, root, 25}, {"EEE", 6, root, 40}};
  EXPECT_EQ(w.seen, want);

  // Leftmost child 0: the block's own entries come first, from offset 7.
  testkit::IsamFile g(header());
  auto child = g.vBlock({{"ZZZ", 9}});
  auto r2 = g.uBlock(0, {{"MMM", 8, child}});
  g.setRoot(r2);
  w = walkBytes(g.bytes());
  std::vector<Seen> want2{{"MMM", 8, r2, 10}, {"ZZZ", 9, child, 10}};
  EXPECT_EQ(w.seen, want2);
}

TEST(IsamWalk, GeneratedTreesOfEveryDepthYieldKeyOrder) {
  for (int leafMax : {1, 2, 5}) {
    for (int n : {0, 1, 7, 100, 1000}) {
      std::vector<testkit::IsamEntry> entries;
      for (int i = 0; i < n; ++i) {
        char k[16];
        std::snprintf(k, sizeof k, "%05d", i);
        entries.push_back({k, static_cast<std::uint64_t>(i) * 6});
      }
      testkit::IsamFile f(header("1-5", 128));
      f.tree(entries, leafMax, 2);
      Walked w = walkBytes(f.bytes());
      ASSERT_EQ(w.stopped, -1) << w.out;
      ASSERT_EQ(w.seen.size(), entries.size()) << leafMax << " " << n;
      for (int i = 0; i < n; ++i) {
        EXPECT_EQ(w.seen[i].key, entries[i].key);
        EXPECT_EQ(w.seen[i].txtpos, entries[i].pos);
      }
    }
  }
}

TEST(IsamWalk, FirstVKeyIsCleaned) {
  testkit::IsamFile f(header());
  f.setRoot(f.vBlock({{std::string("A\x01\xF9"), 0}, {std::string("A\x01\xE0"), 1}}));
  Walked plain = walkBytes(f.bytes());
  EXPECT_EQ(plain.seen[0].key, "A  ");
  // Suffixes are left for the tag writer.
  EXPECT_EQ(plain.seen[1].key, std::string("A \xE0"));
  Walked ich = walkBytes(f.bytes(), true);
  EXPECT_EQ(ich.seen[0].key, "A  ");  // 0xF9 is a space even with ichrs on
  testkit::IsamFile g(header());
  const std::string highKey = std::string("A\xE0") + "B";
  g.setRoot(g.vBlock({{highKey, 0}}));
  EXPECT_EQ(walkBytes(g.bytes(), true).seen[0].key, highKey);
  EXPECT_EQ(walkBytes(g.bytes(), false).seen[0].key, "A B");
}

TEST(IsamWalk, QuietEnds) {
  // A link past the end of the file ends the walk after what was read; an unknown block type is
  // passed over.
  testkit::IsamFile f(header());
  auto v = f.vBlock({{"AAA", 1}});
  auto x = f.rawBlock("X junk");
  auto root = f.uBlock(v, {{"BBB", 2, x}, {"CCC", 3, 999999}});
  f.setRoot(root);
  Walked w = walkBytes(f.bytes());
  EXPECT_EQ(w.stopped, -1);
  ASSERT_EQ(w.seen.size(), 3u);
  EXPECT_EQ(w.seen[2].key, "CCC");
}

TEST(IsamWalk, DamageStopsInBoundedTime) {
  {  // a child linking back to its parent
    testkit::IsamFile f(header());
    auto root = f.nextPos();
    f.uBlock(0, {{"AAA", 1, root}});
    f.setRoot(root);
    Walked w = walkBytes(f.bytes());
    EXPECT_EQ(w.stopped, 1);
    EXPECT_NE(w.out.find("link back into the walk"), std::string::npos) << w.out;
  }
  {  // a chain deeper than the stack
    testkit::IsamFile f(header("1-3", 64));
    std::uint64_t first = f.nextPos();
    for (int i = 0; i < 1100; ++i) f.uBlock(first + (i + 1) * 64, {});
    f.setRoot(first);
    Walked w = walkBytes(f.bytes());
    EXPECT_EQ(w.stopped, 1);
    EXPECT_NE(w.out.find("deeper"), std::string::npos) << w.out;
  }
  {  // one block linked from two entries
    testkit::IsamFile f(header());
    auto v = f.vBlock({{"AAA", 1}});
    std::vector<testkit::UEntry> many;
    for (int i = 0; i < 10; ++i) many.push_back({"B" + std::to_string(i) + "B", 2, v});
    auto u = f.uBlock(v, many);
    f.setRoot(u);
    Walked w = walkBytes(f.bytes());
    EXPECT_EQ(w.stopped, 1);
    EXPECT_NE(w.out.find("more than once"), std::string::npos) << w.out;
  }
  {  // V entries running past the block: no end mark, last entry cut by the block size
    testkit::IsamFile f(header("1-3", 24));
    std::string b = testkit::vBlockBytes({{"AAA", 1}, {"ZZZ", 2}}, 3, 0, false);
    b.resize(24);
    f.setRoot(f.rawBlock(b));
    f.rawBlock("V");
    Walked w = walkBytes(f.bytes());
    EXPECT_EQ(w.stopped, 1);
    EXPECT_NE(w.out.find("runs past the end of the block"), std::string::npos) << w.out;
    EXPECT_EQ(w.seen.size(), 2u);
  }
  {  // a count byte above the key size
    testkit::IsamFile f(header());
    std::string b = testkit::vBlockBytes({{"AAA", 1}, {"ZZZ", 2}}, 3, 256);
    b[10] = 9;
    f.setRoot(f.rawBlock(b));
    EXPECT_EQ(walkBytes(f.bytes()).stopped, 1);
  }
}

}  // namespace
}  // namespace dbc::ixmark
