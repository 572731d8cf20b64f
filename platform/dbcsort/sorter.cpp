#include "platform/dbcsort/sorter.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/mapped.hpp"
#include "platform/dbcsort/merge.hpp"
#include "platform/dbcsort/partition.hpp"
#include "platform/dbcsort/task.hpp"

namespace dbc::dbcsort {

namespace {

// One chunk and the work being done on it.
struct Slot {
  Slot(std::size_t capacity, const ChunkKind& kind, bool inPlace)
      : chunk(capacity, kind, inPlace) {}
  Chunk chunk;
  Task task;               // declared after the chunk: gone, and so finished, before the chunk goes
  bool unwritten = false;  // full and sorted (or being sorted), not yet written as a run
};

// The runs made while the input is read. The chunks are used in turn; as long as every full
// chunk still has its place in memory they are only sorted, so that an input that fits in the
// budget is never written to a run file. From the first time a chunk is needed again, each full
// chunk is sorted and written as a run straight away, the runs taking their places in the run
// file in input order.
class RunMaker {
 public:
  // `inputBytes`: the input's size when known, else 0. `inPlace`: the records are handed over
  // in memory that outlives the sort (a mapped input), where the chunks leave them.
  RunMaker(const SortJob& job, std::size_t inputBytes, bool inPlace)
      : job_(job),
        perRun_(samplesPerRun(job)),
        inputBytes_(parallel() ? inputBytes : 0),
        inPlace_(inPlace) {
    for (std::size_t i = 0; i < job.budget.chunks; ++i)
      slots_.push_back(std::make_unique<Slot>(job.budget.chunk, job.kind(), inPlace));
  }

  void add(std::string_view record) {
    if (inputBytes_ > 0 && seen_ < kPrefaultAfter) {
      seenBytes_ += record.size() + 1;
      if (++seen_ == kPrefaultAfter) prefault();
    }
    if (slot().chunk.add(record)) return;
    handOff();
    nextSlot();
    slot().chunk.add(record);
  }

  // At the end of the input: writes everything to `out` and returns true when it all stayed
  // in memory; otherwise writes the last runs and returns false.
  bool finish(Writer& out);

  std::unique_ptr<RunFile> runFile;
  std::vector<Run> runs;
  // One for each run while the runs are few enough for the last merge to take them all.
  std::vector<std::unique_ptr<RunSamples>> samples;

 private:
  Slot& slot() { return *slots_[cur_]; }
  bool parallel() const { return job_.budget.threads > 1; }
  void handOff();
  void nextSlot();
  void startWrite(Slot& s);
  void waitAll();
  void prefault();

  // The records seen before the memory the input will fill is estimated from them.
  static constexpr std::size_t kPrefaultAfter = 4096;

  const SortJob& job_;
  const std::size_t perRun_;
  off_t runEnd_ = 0;
  bool spilling_ = false;
  std::size_t cur_ = 0;
  const std::size_t inputBytes_;  // the input's size, when its memory is to be prefaulted
  const bool inPlace_;
  std::size_t seen_ = 0;
  std::size_t seenBytes_ = 0;
  // Last, so that the tasks end before the run file they write to is closed.
  std::vector<std::unique_ptr<Slot>> slots_;
  // Last of all, so that they end before the chunks' memory goes.
  std::vector<Task> prefaults_;
};

// A fresh block's memory costs the kernel a page fault and a cleared page for every page first
// written, which would all fall to the thread that reads the input. The chunks the input will
// fill are handed their memory up front by threads of their own instead, while the reading
// goes on: the records' bytes and their entries, as many as the first records' sizes foretell
// for the whole input, with a little to spare.
void RunMaker::prefault() {
  const std::size_t perRecord = std::max<std::size_t>(seenBytes_ / seen_, 1);
  const std::size_t records = inputBytes_ / perRecord + inputBytes_ / perRecord / 32 + 64;
  const std::size_t held = inPlace_ ? 0 : perRecord;  // bytes of each record in a chunk
  const std::size_t fits = std::max<std::size_t>(job_.budget.chunk / (held + sizeof(SortEntry)), 1);
  for (std::size_t k = 0; k < slots_.size() && k * fits < records; ++k) {
    const std::size_t n = std::min(records - k * fits, fits);
    const Chunk::Room room = slots_[k]->chunk.pagesFor(n * perRecord, n);
    prefaults_.emplace_back(true, [pages = room.bytes] { Block::populate(pages); });
    prefaults_.emplace_back(true, [pages = room.entries] { Block::populate(pages); });
  }
}

void RunMaker::handOff() {
  Slot& s = slot();
  if (spilling_) {
    s.task = Task();
    startWrite(s);
    return;
  }
  s.task = Task(parallel(), [&s] { s.chunk.sort(); });
  s.unwritten = true;
}

void RunMaker::nextSlot() {
  cur_ = (cur_ + 1) % slots_.size();
  if (slot().unwritten) {
    // Every chunk is full: from now on runs go to the run file, the oldest first.
    spilling_ = true;
    for (std::size_t k = 0; k < slots_.size(); ++k) {
      Slot& s = *slots_[(cur_ + k) % slots_.size()];
      if (s.unwritten) startWrite(s);
    }
  }
  slot().task.wait();
  slot().chunk.clear();
}

// Writes the chunk of `s` as the next run, sorting it first unless that is done or under way.
// A run's place in the run file depends only on the sizes of the runs before it, so the reading
// goes on without waiting for a sort under way: the writing waits for it instead.
void RunMaker::startWrite(Slot& s) {
  const bool sorting = s.unwritten;
  auto sort = std::make_shared<Task>(std::move(s.task));
  s.unwritten = false;
  if (!runFile) runFile = std::make_unique<RunFile>(job_.tempDir);
  const Run run{runEnd_, runEnd_ + s.chunk.outputBytes()};
  runEnd_ = run.end;
  runs.push_back(run);
  RunSamples* sampled = nullptr;
  if (perRun_ > 0 && runs.size() <= job_.budget.fanIn) {
    samples.push_back(std::make_unique<RunSamples>(run.size(), perRun_, keyBytes(job_.key)));
    sampled = samples.back().get();
  }
  s.task = Task(parallel(), [this, &s, run, sorting, sort, sampled] {
    if (sorting) {
      sort->wait();
    } else {
      s.chunk.sort();
    }
    Writer w(runFile->fd(), job_.budget.ioBuffer, runFile->name(), run.start);
    s.chunk.writeSorted(w, sampled);
    w.flush();
  });
}

// Waits for every chunk's work, oldest first, so that of several failures the one met first
// in the input is the one reported.
void RunMaker::waitAll() {
  for (std::size_t k = 1; k <= slots_.size(); ++k) slots_[(cur_ + k) % slots_.size()]->task.wait();
}

bool RunMaker::finish(Writer& out) {
  if (spilling_) {
    if (!slot().chunk.empty()) handOff();
    waitAll();
    return false;
  }
  // The other chunks' sorts end first, so that every thread can take a share of the last one.
  waitAll();
  slot().chunk.sort(job_.budget.threads);
  std::vector<std::unique_ptr<MergeSource>> sources;
  const Chunk* only = nullptr;
  for (std::size_t k = 1; k <= slots_.size(); ++k) {
    const Chunk& c = slots_[(cur_ + k) % slots_.size()]->chunk;
    if (c.empty()) continue;
    sources.push_back(std::make_unique<ChunkSource>(c, keyBytes(job_.key)));
    only = &c;
  }
  if (sources.size() == 1) {
    const std::size_t threads = job_.budget.threads;
    only->writeSorted(out, threads, Budget::share(job_.budget.ioBuffer, threads));
  } else if (sources.size() > 1) {
    merge(sources, keyBytes(job_.key), job_.form, out);
  }
  return true;
}

std::vector<std::unique_ptr<MergeSource>> sourcesOf(const SortJob& job, const RunFile& file,
                                                    const Run* runs, std::size_t n,
                                                    std::size_t buffer) {
  std::vector<std::unique_ptr<MergeSource>> sources;
  for (std::size_t i = 0; i < n; ++i)
    sources.push_back(
        std::make_unique<RunSource>(file.fd(), runs[i], job.kind(), buffer, file.name()));
  return sources;
}

// Merges consecutive groups of `runs` into a new run file, one run per group, keeping the runs
// in input order so that ties stay stable from level to level. Each group's run takes its
// place in the new file at once (its size is the sum of its runs'), so groups are merged side
// by side.
void mergeLevel(const SortJob& job, std::unique_ptr<RunFile>& file, std::vector<Run>& runs,
                std::vector<std::unique_ptr<RunSamples>>& samples) {
  const std::size_t fanIn = job.budget.fanIn;
  const std::size_t groups = (runs.size() + fanIn - 1) / fanIn;
  const std::size_t atOnce = job.budget.mergesAtOnce(groups);
  const std::size_t buffer = Budget::share(job.budget.mergeBuffer, atOnce);
  const std::size_t writeBuffer = Budget::share(job.budget.ioBuffer, atOnce);
  // The runs of the last level are sampled for the last merge.
  const std::size_t perRun = groups <= fanIn ? samplesPerRun(job) : 0;
  std::vector<std::unique_ptr<RunSamples>> sampled;
  auto next = std::make_unique<RunFile>(job.tempDir);
  std::vector<Run> merged;
  std::vector<Task> tasks;
  off_t end = 0;
  for (std::size_t g = 0; g < runs.size(); g += fanIn) {
    const std::size_t k = std::min(fanIn, runs.size() - g);
    const Run run{end, end + (runs[g + k - 1].end - runs[g].start)};
    end = run.end;
    merged.push_back(run);
    RunSamples* s = nullptr;
    if (perRun > 0) {
      sampled.push_back(std::make_unique<RunSamples>(run.size(), perRun, keyBytes(job.key)));
      s = sampled.back().get();
    }
    if (tasks.size() == atOnce) {
      for (Task& t : tasks) t.wait();
      tasks.clear();
    }
    tasks.emplace_back(atOnce > 1, [&, g, k, run, s] {
      auto sources = sourcesOf(job, *file, &runs[g], k, buffer);
      Writer w(next->fd(), writeBuffer, next->name(), run.start);
      merge(sources, keyBytes(job.key), job.form, w, s);
      w.flush();
    });
  }
  for (Task& t : tasks) t.wait();
  file = std::move(next);
  runs = std::move(merged);
  samples = std::move(sampled);
}

// The last merge, split into key ranges merged side by side where there are threads for it,
// samples of every run, and an output with offsets to place each range's part at.
void mergeLast(const SortJob& job, const RunFile& file, const std::vector<Run>& runs,
               const std::vector<std::unique_ptr<RunSamples>>& samples, Writer& out) {
  const std::size_t ranges = job.budget.mergesAtOnce(job.budget.threads);
  struct stat st;
  const bool placeable = ::fstat(out.fd(), &st) == 0 && S_ISREG(st.st_mode);
  if (ranges > 1 && runs.size() > 1 && samples.size() == runs.size() && placeable) {
    mergeInRanges(job, file, runs, samples, ranges, out);
    return;
  }
  merge(sourcesOf(job, file, runs.data(), runs.size(), job.budget.mergeBuffer), keyBytes(job.key),
        job.form, out);
}

// The first bytes of an input whose records foretell how many the whole input holds.
constexpr std::size_t kForetellFrom = std::size_t{1} << 20;

// The input mapped, when it is a file whose records' entries alone fit in `chunk` bytes with
// room to spare, as its first records foretell: it is then sorted in memory where it lies,
// without a copy. Otherwise nothing is mapped and the input is read, its records copied into
// the budget's chunks (and run files) as they come.
MappedInput mapWhenHeld(const SortJob& job, std::size_t chunk, int fd, const std::string& name) {
  MappedInput m = MappedInput::of(fd, job.mapAtMost, name);
  if (!m.mapped()) return m;
  const std::size_t sample = std::min(m.size(), kForetellFrom);
  SpanReader r(m.data(), sample, job.form);
  std::size_t n = 1;  // an open last record is counted too: the guess errs on the large side
  std::string_view rec;
  while (r.next(rec)) ++n;
  const std::size_t records = m.size() / sample * n + n;
  if ((records + records / 8) * sizeof(SortEntry) > chunk) return {};
  m.populate();
  return m;
}

// Hands every record of `in` to `maker`; returns how many there were.
template <typename Reader>
std::size_t feed(Reader& in, RunMaker& maker) {
  std::size_t n = 0;
  std::string_view rec;
  while (in.next(rec)) {
    ++n;
    maker.add(rec);
  }
  return n;
}

}  // namespace

std::size_t sortRecords(const SortJob& job, int inFd, const std::string& inName, Writer& out) {
  std::size_t total = 0;
  std::unique_ptr<RunFile> file;
  std::vector<Run> runs;
  std::vector<std::unique_ptr<RunSamples>> samples;
  {
    struct stat st;
    const bool sized = ::fstat(inFd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    SortJob inPlace = job;
    inPlace.budget = job.budget.oneChunk();
    const MappedInput mapped = mapWhenHeld(job, inPlace.budget.chunk, inFd, inName);
    RunMaker maker(mapped.mapped() ? inPlace : job,
                   sized ? static_cast<std::size_t>(st.st_size) : 0, mapped.mapped());
    if (mapped.mapped()) {
      SpanReader in(mapped.data(), mapped.size(), job.form);
      total = feed(in, maker);
    } else {
      RecordReader in(inFd, job.form, 0, -1, job.budget.ioBuffer, inName);
      total = feed(in, maker);
    }
    if (maker.finish(out)) return total;
    file = std::move(maker.runFile);
    runs = std::move(maker.runs);
    samples = std::move(maker.samples);
  }
  while (runs.size() > job.budget.fanIn) mergeLevel(job, file, runs, samples);
  mergeLast(job, *file, runs, samples, out);
  return total;
}

}  // namespace dbc::dbcsort
