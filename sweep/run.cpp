#include "sweep/run.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>

#include "common/config.hpp"
#include "recscan/dmf.hpp"
#include "sweep/children.hpp"
#include "sweep/datacheck.hpp"
#include "sweep/discover.hpp"
#include "sweep/indexcheck.hpp"
#include "sweep/jobcontext.hpp"
#include "sweep/json.hpp"
#include "sweep/options.hpp"
#include "sweep/pool.hpp"
#include "sweep/progress.hpp"
#include "sweep/report.hpp"
#include "sweep/signalwatch.hpp"
#include "sweep/workarea.hpp"

extern char** environ;

namespace dbc::sweep {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

class Sweep {
 public:
  Sweep(const Settings& settings, Context& context)
      : s_(settings), c_(context), config_(kDbcConfig, context.env, context.err) {}
  int go();

 private:
  bool findTargets();
  void prepareChecks();
  void checkAll();
  void checkOne(std::size_t i);
  void stopNow();
  int report();
  void guardJson(const std::string& temp);

  const Settings& s_;
  Context& c_;
  Config config_;
  std::vector<Target> targets_;
  std::vector<Result> results_;  // of the files that could not even be started on
  std::vector<Result> checked_;  // one per target, in the targets' order
  int jobs_ = 1;
  SortShare sort_;
  DataCheck data_;
  std::optional<WorkArea> area_;
  Children children_;
  std::atomic<bool> stop_{false};
  std::atomic<int> active_{0};
  std::atomic<std::int64_t> bytesDone_{0}, filesDone_{0};
  std::mutex guard_;  // the names a stop removes: the work area's, the JSON's temporary one
  std::string areaRoot_, jsonTemp_;
  std::time_t started_ = 0;
  Clock::time_point start_;
};

int Sweep::go() {
  started_ = std::time(nullptr);
  start_ = Clock::now();
  if (!findTargets()) return kUsage;
  prepareChecks();
  // Watched before the work area is made, and its name known to a stop as soon as it exists: a
  // signal between the two would otherwise leave the folder behind.
  SignalWatch watch([this](int) { stopNow(); });
  if (!targets_.empty()) {
    std::string error;
    std::lock_guard<std::mutex> lock(guard_);
    area_ = WorkArea::create(workVolume(config_, c_.env), error);
    if (!area_) {
      std::fprintf(c_.err, "dbcsweep: %s\n", error.c_str());
      return kUnchecked;
    }
    areaRoot_ = area_->root();
  }
  if (!targets_.empty()) checkAll();
  // Gone before the watch ends: a signal from now on finds nothing of ours left to remove.
  area_.reset();
  return report();
}

bool Sweep::findTargets() {
  std::vector<std::string> folders;
  if (s_.folders.empty()) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    folders = configuredFolders(config_, c_.env, environment);
    if (folders.empty()) {
      std::fprintf(c_.err,
                   "dbcsweep: no folders to sweep: give them, or configure dbcdx.file.open or a "
                   "volume (DBC_CFG)\n");
      return false;
    }
  } else {
    folders = distinctFolders(s_.folders);
  }
  for (const std::string& folder : folders) {
    std::string error;
    if (!filesIn(folder, s_.only, targets_, error)) {
      results_.push_back(
          resultOf(folder, Kind::kFolder, Verdict::kError, "cannot read folder: " + error));
    }
  }
  std::erase_if(targets_, [this](const Target& t) {
    if (t.problem.empty()) return false;
    results_.push_back(resultOf(t.path, t.kind, Verdict::kError, t.problem));
    return true;
  });
  // The largest first, so that the last to finish is a small one.
  std::stable_sort(targets_.begin(), targets_.end(), [](const Target& a, const Target& b) {
    return a.size != b.size ? a.size > b.size : a.path < b.path;
  });
  return true;
}

void Sweep::prepareChecks() {
  jobs_ = s_.jobs > 0 ? s_.jobs : coreCount();
  sort_.memory = sortMemoryPerJob(c_.getenv("DBCSORT_MEMORY"), jobs_);
  sort_.threads = sortThreadsPerJob(c_.getenv("DBCSORT_THREADS"), jobs_, coreCount());
  // What recscan reads once per run, read once per sweep.
  Config recscanConfig(kRecscanConfig, c_.env, c_.err);
  std::string ichrs = recscanConfig.getenv2("dbcdx.file.ichrs");
  if (ichrs.empty()) ichrs = recscanConfig.getenv2("DBC_ICHRS");
  data_.ichflg = ichrs == "on" || ichrs == "ON";
  data_.dmfdir = recscan::dmfDir(c_.getenv("QLON_ROOT"));
  checked_.resize(targets_.size());
}

void Sweep::checkAll() {
  std::int64_t bytesTotal = 0;
  for (const Target& t : targets_) bytesTotal += t.size;
  ProgressLine progress(c_.out);
  auto tick = [&] {
    progress.show(ProgressFacts{filesDone_, static_cast<std::int64_t>(targets_.size()), bytesDone_,
                                bytesTotal, secondsSince(start_)});
  };
  runPool(
      targets_.size(), jobs_, [this](std::size_t i) { checkOne(i); }, stop_, tick);
  progress.clear();
}

void Sweep::checkOne(std::size_t i) {
  ++active_;
  const Target& t = targets_[i];
  const Clock::time_point start = Clock::now();
  Result r = resultOf(t.path, t.kind, Verdict::kError);
  const std::string folder = stop_ ? std::string() : area_->jobFolder(i);
  if (folder.empty()) {
    r.reason = "cannot make a work folder in " + area_->root();
  } else {
    JobContext job(folder, children_, sort_);
    if (t.kind == Kind::kData) {
      DataCheck check = data_;
      check.scratch = folder + "/dmf.pid";
      r = checkData(t.path, check, job.context(), bytesDone_, stop_);
    } else {
      r = checkIndex(t.path, job);
      bytesDone_ += t.size;
    }
  }
  removeTree(folder);
  r.seconds = secondsSince(start);
  checked_[i] = std::move(r);
  ++filesDone_;
  --active_;
}

// Runs on the signal watch's thread; the process dies of `sig` when it returns.
void Sweep::stopNow() {
  stop_ = true;
  children_.stopAll(SIGTERM);
  // The checks let go of their folders once their commands are gone; a sort that does not end
  // on SIGTERM is killed.
  for (int waited = 0; active_ > 0 && waited < 300; ++waited) {
    if (waited == 200) children_.stopAll(SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> lock(guard_);
  removeTree(areaRoot_);
  if (!jsonTemp_.empty()) std::remove(jsonTemp_.c_str());
  std::fflush(c_.out);
}

void Sweep::guardJson(const std::string& temp) {
  std::lock_guard<std::mutex> lock(guard_);
  jsonTemp_ = temp;
}

int Sweep::report() {
  std::vector<Result> all = std::move(results_);
  all.insert(all.end(), std::make_move_iterator(checked_.begin()),
             std::make_move_iterator(checked_.end()));
  sortByPath(all);
  const Counts counts = countVerdicts(all);
  printTable(c_.out, all, s_.quiet);
  printSummary(c_.out, counts);
  int status = exitStatusOf(counts);
  if (!s_.json.empty()) {
    std::string error;
    const std::string doc = jsonDocument(all, counts, started_, secondsSince(start_));
    if (!writeJson(
            s_.json, doc, [this](const std::string& t) { guardJson(t); }, error)) {
      std::fprintf(c_.err, "dbcsweep: %s\n", error.c_str());
      // The monitoring system gets nothing: that is at least a check that could not be made.
      if (status == kAllOk) status = kUnchecked;
    }
  }
  return status;
}

}  // namespace

int run(const std::vector<std::string>& args, Context& context) {
  std::string error;
  std::optional<Settings> settings = parseArgs(args, error);
  if (!settings) {
    std::fprintf(context.err, "dbcsweep: %s\n", error.c_str());
    printUsage(context.err);
    return kUsage;
  }
  if (settings->help) {
    printUsage(context.out);
    return kAllOk;
  }
  return Sweep(*settings, context).go();
}

}  // namespace dbc::sweep
