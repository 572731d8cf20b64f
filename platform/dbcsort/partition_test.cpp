#include "platform/dbcsort/partition.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/io.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/sorter.hpp"
#include "testkit/files.hpp"

namespace dbc::dbcsort {
namespace {

struct Fixture {
  testkit::TempDir dir;
  SortJob job;
  std::unique_ptr<RunFile> file;
  std::vector<Run> runs;
  std::vector<std::unique_ptr<RunSamples>> samples;

  // Sorted runs of text lines "<key><run><index>", keys drawn from `keys` distinct ones.
  Fixture(std::vector<std::size_t> sizes, unsigned keys, unsigned seed) {
    job.key = {1, 2};
    job.tempDir = dir.path();
    job.budget = Budget::of(std::size_t{1} << 20, 4);
    file = std::make_unique<RunFile>(dir.path());
    std::mt19937 gen(seed);
    off_t end = 0;
    for (std::size_t r = 0; r < sizes.size(); ++r) {
      std::vector<std::string> lines;
      for (std::size_t i = 0; i < sizes[r]; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02u%c%05zu", static_cast<unsigned>(gen() % keys),
                      static_cast<char>('a' + r), i);
        lines.push_back(buf);
      }
      std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        return a.compare(0, 2, b, 0, 2) < 0;
      });
      std::string bytes;
      for (const auto& l : lines) bytes += l + "\n";
      const Run run{end, end + static_cast<off_t>(bytes.size())};
      auto s = std::make_unique<RunSamples>(run.size(), 8, keyBytes(job.key));
      off_t at = 0;
      for (const auto& l : lines) {
        unsigned char key[4];
        recordKey(Form::kText, l, false, job.key, key);
        s->offer(at, key);
        at += static_cast<off_t>(l.size()) + 1;
      }
      EXPECT_LE(s->size(), 9u);
      EXPECT_TRUE(dbc::pwriteFull(file->fd(), bytes.data(), bytes.size(), end));
      end = run.end;
      runs.push_back(run);
      samples.push_back(std::move(s));
    }
  }

  std::string merged(std::size_t ranges) {
    Fd out = openFile(dir.file("out" + std::to_string(ranges)), O_RDWR | O_CREAT | O_TRUNC, 0600);
    {
      Writer w(out.get(), 4096, "out");
      w.write("head\n", 5);  // the ranges go after what the writer holds already
      if (ranges == 1) {
        std::vector<std::unique_ptr<MergeSource>> sources;
        for (const Run& r : runs)
          sources.push_back(std::make_unique<RunSource>(file->fd(), r, job.kind(), 4096, "run"));
        merge(sources, keyBytes(job.key), job.form, w);
      } else {
        mergeInRanges(job, *file, runs, samples, ranges, w);
      }
      w.write("tail\n", 5);
      w.flush();
    }
    return testkit::readFile(dir.file("out" + std::to_string(ranges)));
  }
};

// Split into ranges or not, a merge writes the same bytes: ties in run order, whatever the
// number of ranges, also where every key is the same (the bounds then coincide) or a run holds
// nothing of some range.
TEST(MergeInRanges, WritesWhatOneMergeWrites) {
  for (const auto& [sizes, keys] : std::vector<std::pair<std::vector<std::size_t>, unsigned>>{
           {{500, 800, 300}, 40}, {{400, 400}, 1}, {{1000, 3, 1, 600}, 7}}) {
    Fixture f(sizes, keys, 5);
    const std::string one = f.merged(1);
    ASSERT_EQ(one.size(), 10 + (f.runs.back().end));
    for (std::size_t ranges : {2, 3, 5}) {
      SCOPED_TRACE(std::to_string(keys) + " keys, " + std::to_string(ranges) + " ranges");
      EXPECT_TRUE(f.merged(ranges) == one);
    }
  }
}

}  // namespace
}  // namespace dbc::dbcsort
