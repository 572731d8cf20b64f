#include "ixmark/walkahead.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/io.hpp"
#include "common/stop.hpp"
#include "testkit/capture.hpp"
#include "testkit/files.hpp"
#include "testkit/isam.hpp"

namespace dbc::ixmark {
namespace {

// What a tag build of an index leaves: the tag file's bytes, the messages in their order, and
// how the walk ended (the status of a Stop, -1 for the end of the index).
struct Built {
  std::string tags;
  std::string said;
  int stopped = -1;
  long entries = 0;
  bool operator==(const Built&) const = default;
};

Built build(const std::string& isi, bool ahead, const Variant& v, bool ichflg,
            const Collate& collate) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("x.ISI"), isi);
  Fd fd = openFile(dir.file("x.ISI"), O_RDONLY);
  unsigned char hdr[kHeaderSize] = {};
  preadFull(fd.get(), hdr, sizeof hdr, 0);
  testkit::Capture out, tagfile;
  Built b;
  try {
    const IndexHeader h = readHeader(hdr, "x", false, out.file());
    TagWriter writer(v, ichflg, collate, h.keysiz, true, tagfile.file(), out.file());
    try {
      if (ahead) {
        WalkAhead(fd.get(), h, "x", out.file(), "x.ISI", ichflg, writer).walk(writer);
      } else {
        IsamWalk(fd.get(), h, "x", out.file(), "x.ISI")
            .walk([&](const IndexEntry& e) { writer.wrttag1(e); }, ichflg);
      }
    } catch (const Stop& s) {
      b.stopped = s.status;
    }
    writer.finish();
    b.entries = writer.reccnt1;
  } catch (const Stop& s) {
    b.stopped = 100 + s.status;
  }
  b.tags = tagfile.text();
  b.said = out.text();
  return b;
}

// Entries over many batches, a few keys with bytes that are cleaned and said (in either batch
// kind), entries repeated, newlines in keys, high bytes.
std::vector<testkit::IsamEntry> entries(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<testkit::IsamEntry> out;
  for (std::size_t i = 0; i < n; ++i) {
    char key[40];
    std::snprintf(key, sizeof key, "K%07zu %02u.5", i, static_cast<unsigned>(gen() % 100));
    std::string k = key;
    if (gen() % 500 == 0) k[1 + gen() % 8] = "\x01\n\xE9\x7F"[gen() % 4];
    const std::uint64_t pos = (gen() % 3 == 0) ? i * 1000000007ULL : gen() % 100000;
    out.push_back({k, pos});
    if (gen() % 700 == 0) out.push_back({k, pos});
  }
  return out;
}

// The walk run ahead on its thread, and the tags formed there, leave the tag file and the
// messages that the walk on the run's thread leaves, in both programs' forms, with and without
// the invalid-character switch and a collating sequence.
TEST(WalkAhead, SameTagsAndMessagesAsTheWalkInTurn) {
  const Collate folded("97:65;98:66;75:107");
  for (std::size_t n : {0, 1, 4095, 4096, 4097, 30000}) {
    testkit::IsamFile f({"DATA", "1-14", 512, 0, 'I', false});
    f.tree(entries(n, static_cast<unsigned>(n)));
    for (const Variant* v : {&kIxmark3, &kIxmark}) {
      for (bool ichflg : {false, true}) {
        for (const Collate* c : {&folded, static_cast<const Collate*>(nullptr)}) {
          SCOPED_TRACE(std::to_string(n) + (v == &kIxmark3 ? " ixmark3" : " ixmark") +
                       (ichflg ? " ichrs" : "") + (c ? " collated" : ""));
          const Collate none;
          const Collate& collate = c ? *c : none;
          const Built inTurn = build(f.bytes(), false, *v, ichflg, collate);
          EXPECT_EQ(inTurn.stopped, -1);
          // What the run's thread must still say, in its place among the progress counts.
          if (n == 30000) {
            EXPECT_NE(inTurn.said.find("Invalid character 0x"), std::string::npos);
          }
          ASSERT_TRUE(build(f.bytes(), true, *v, ichflg, collate) == inTurn);
        }
      }
    }
  }
}

// A walk that stops on damage or a failed read, far into the index: every entry before it is
// written and said first, then what the walk said, and the run stops with its status.
TEST(WalkAhead, DamageIsSaidAfterTheEntriesBeforeIt) {
  testkit::IsamFile f({"DATA", "1-14", 512, 0, 'I', false});
  f.tree(entries(20000, 5));
  std::string damaged = f.bytes();
  // A count byte above the key size in a leaf well into the file.
  const std::size_t at = damaged.size() * 3 / 4 / 512 * 512;
  for (std::size_t i = at; i < damaged.size(); i += 512) {
    if (damaged[i] != 'V') continue;
    damaged[i + 1 + 14 + 6] = 99;
    break;
  }
  const Built inTurn = build(damaged, false, kIxmark3, false, Collate());
  EXPECT_EQ(inTurn.stopped, 1);
  EXPECT_NE(inTurn.said.find("Damaged index file x"), std::string::npos);
  EXPECT_GT(inTurn.entries, 4096 * 2);
  EXPECT_TRUE(build(damaged, true, kIxmark3, false, Collate()) == inTurn);
  // Cut short inside a block: the walk reads what there is and ends there.
  const std::string cut = f.bytes().substr(0, f.bytes().size() / 2 + 100);
  EXPECT_TRUE(build(cut, true, kIxmark3, false, Collate()) ==
              build(cut, false, kIxmark3, false, Collate()));
}

}  // namespace
}  // namespace dbc::ixmark
