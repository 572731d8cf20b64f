#include "platform/dbcsort/partition.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/sorter.hpp"
#include "platform/dbcsort/task.hpp"

namespace dbc::dbcsort {

namespace {

constexpr std::size_t kMostSamples = 64;
constexpr std::size_t kFewestSamples = 4;

using Key = std::vector<unsigned char>;

// The bounds between `ranges` ranges: keys at even steps through all the samples, each once.
std::vector<Key> bounds(const std::vector<std::unique_ptr<RunSamples>>& samples, std::size_t ranges,
                        std::size_t keyBytes) {
  std::vector<const unsigned char*> all;
  for (const auto& s : samples)
    for (std::size_t i = 0; i < s->size(); ++i) all.push_back(s->key(i));
  auto less = [&](const unsigned char* a, const unsigned char* b) {
    return std::memcmp(a, b, keyBytes) < 0;
  };
  std::sort(all.begin(), all.end(), less);
  std::vector<Key> out;
  for (std::size_t p = 1; p < ranges && !all.empty(); ++p) {
    const unsigned char* k = all[p * all.size() / ranges];
    if (out.empty() || less(out.back().data(), k)) out.emplace_back(k, k + keyBytes);
  }
  return out;
}

// Where the first record of `run` whose key is not below `bound` starts (the run's end when
// there is none): read from the last sample below the bound on.
off_t boundary(const SortJob& job, const RunFile& file, const Run& run, const RunSamples& samples,
               const Key& bound, std::size_t buffer) {
  const std::size_t kb = bound.size();
  off_t at = run.start;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (std::memcmp(samples.key(i), bound.data(), kb) >= 0) break;
    at = run.start + samples.offset(i);
  }
  RecordReader reader(file.fd(), job.form, at, run.end, buffer, file.name());
  Key key(kb);
  std::string_view record;
  while (reader.next(record)) {
    recordKey(job.form, record, job.ichrs, job.key, key.data());
    if (std::memcmp(key.data(), bound.data(), kb) >= 0) return at;
    at += static_cast<off_t>(record.size()) + 1;  // every record in a run has its terminator
  }
  return run.end;
}

// cut[p][r]: where range p starts in run r; the last row holds the runs' ends.
std::vector<std::vector<off_t>> cuts(const SortJob& job, const RunFile& file,
                                     const std::vector<Run>& runs,
                                     const std::vector<std::unique_ptr<RunSamples>>& samples,
                                     const std::vector<Key>& keys, std::size_t buffer) {
  std::vector<std::vector<off_t>> cut(keys.size() + 2, std::vector<off_t>(runs.size()));
  for (std::size_t r = 0; r < runs.size(); ++r) {
    cut.front()[r] = runs[r].start;
    cut.back()[r] = runs[r].end;
  }
  std::vector<Task> tasks;
  tasks.reserve(keys.size());
  for (std::size_t b = 0; b < keys.size(); ++b) {
    tasks.emplace_back(true, [&, b] {
      for (std::size_t r = 0; r < runs.size(); ++r)
        cut[b + 1][r] = boundary(job, file, runs[r], *samples[r], keys[b], buffer);
    });
  }
  for (Task& t : tasks) t.wait();
  return cut;
}

}  // namespace

RunSamples::RunSamples(off_t runBytes, std::size_t count, std::size_t keyBytes)
    : keyBytes_(keyBytes),
      step_(std::max<off_t>(1, runBytes / static_cast<off_t>(std::max<std::size_t>(count, 1)))) {}

void RunSamples::take(off_t offset, const unsigned char* key) {
  keys_.insert(keys_.end(), key, key + keyBytes_);
  offsets_.push_back(offset);
  next_ = (offset / step_ + 1) * step_;
}

std::size_t samplesPerRun(const SortJob& job) {
  if (job.budget.threads < 2) return 0;
  const std::size_t room = job.budget.total / 16 / (job.budget.fanIn * keyBytes(job.key));
  const std::size_t n = std::min(room, kMostSamples);
  return n < kFewestSamples ? 0 : n;
}

void mergeInRanges(const SortJob& job, const RunFile& file, const std::vector<Run>& runs,
                   const std::vector<std::unique_ptr<RunSamples>>& samples, std::size_t ranges,
                   Writer& out) {
  const std::size_t buffer = Budget::share(job.budget.mergeBuffer, ranges);
  const std::vector<Key> keys = bounds(samples, ranges, keyBytes(job.key));
  const auto cut = cuts(job, file, runs, samples, keys, buffer);
  off_t total = 0;
  for (const Run& r : runs) total += r.size();
  off_t place = out.makeRoom(total);
  std::vector<Task> tasks;
  tasks.reserve(cut.size() - 1);
  for (std::size_t p = 0; p + 1 < cut.size(); ++p) {
    std::vector<Run> part;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      part.push_back({cut[p][r], cut[p + 1][r]});
    }
    const off_t at = place;
    for (const Run& r : part) place += r.size();
    tasks.emplace_back(true, [&, part = std::move(part), at] {
      std::vector<std::unique_ptr<MergeSource>> sources;
      for (const Run& r : part)
        sources.push_back(
            std::make_unique<RunSource>(file.fd(), r, job.kind(), buffer, file.name()));
      Writer w(out.fd(), Budget::share(job.budget.ioBuffer, ranges), out.name(), at);
      if (out.writesBehind()) w.writeBehind();
      merge(sources, keyBytes(job.key), job.form, w);
      w.flush();
    });
  }
  for (Task& t : tasks) t.wait();
}

}  // namespace dbc::dbcsort
