#include "platform/dbcsort/sorter.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "common/io.hpp"
#include "testkit/files.hpp"

namespace dbc::dbcsort {
namespace {

// The output of sortRecords on the file `in`, the input mapped or read.
std::string sorted(const std::string& in, const SortJob& job) {
  testkit::TempDir dir;
  testkit::writeFile(dir.file("in"), in);
  dbc::Fd fd = dbc::openFile(dir.file("in"), O_RDONLY);
  dbc::Fd out = dbc::openFile(dir.file("out"), O_RDWR | O_CREAT | O_TRUNC, 0600);
  SortJob j = job;
  j.tempDir = dir.path();
  {
    Writer w(out.get(), j.budget.ioBuffer, "out");
    sortRecords(j, fd.get(), "in", w);
    w.flush();
  }
  return testkit::readFile(dir.file("out"));
}

// Records of a few keys, so that many tie, with the bytes that end or mark something mixed in;
// `longFirst`: a first megabyte of long records, which makes the short ones after it many more
// than that megabyte foretells.
std::string records(Form form, std::size_t n, unsigned seed, bool longFirst) {
  std::mt19937 gen(seed);
  const char end = form == Form::kText ? '\n' : '\xFA';
  std::string s;
  if (longFirst)
    while (s.size() < (std::size_t{1} << 20)) s += std::string(5000 + gen() % 3000, 'q') + end;
  const char bytes[] = {'1', '2', ' ', '.', '\xF9', '\x83', 'k'};
  for (std::size_t i = 0; i < n; ++i) {
    std::string r(gen() % 12, 'x');
    for (char& c : r) c = bytes[gen() % sizeof bytes];
    // A run marker's count is never taken for an end: give it one that is not.
    for (std::size_t k = 0; k < r.size(); ++k)
      if (r[k] == '\xF9') r.insert(++k, 1, static_cast<char>(2 + gen() % 8));
    s += r + end;
  }
  if (form == Form::kCompressed && gen() % 2) s += '\xFB';
  return s;
}

// A mapped input is sorted where it lies, a read one copied: the same bytes either way, in both
// forms, whatever the threads and the budget: all in one chunk, or more records than the first
// megabyte foretold (the mapped chunk then fills and its records go to runs as copied ones do),
// or many runs merged.
TEST(SortRecords, MappedInputsGiveTheBytesOfReadOnes) {
  for (Form form : {Form::kText, Form::kCompressed}) {
    for (bool longFirst : {false, true}) {
      const std::string in = records(form, 200000, longFirst ? 7 : 8, longFirst);
      for (std::size_t budget :
           {std::size_t{64} << 10, std::size_t{2} << 20, std::size_t{64} << 20}) {
        for (std::size_t threads : {1, 2, 3}) {
          SCOPED_TRACE(std::to_string(static_cast<int>(form)) + " " + std::to_string(longFirst) +
                       " " + std::to_string(budget) + " " + std::to_string(threads));
          SortJob job;
          job.form = form;
          job.key = {1, 6};
          job.budget = Budget::of(budget, threads);
          const std::string read = sorted(in, job);
          job.mapAtMost = SIZE_MAX;
          ASSERT_TRUE(sorted(in, job) == read);
        }
      }
    }
  }
}

}  // namespace
}  // namespace dbc::dbcsort
