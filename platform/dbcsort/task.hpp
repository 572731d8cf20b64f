// A piece of the sort's work done beside the thread that reads the input: sorting a chunk,
// writing a run, merging a group of runs.
//
// The threads are started with SIGHUP, SIGINT and SIGTERM held off, and keep them held off for
// good, so that those signals only ever reach the main thread. Holding them off there around a
// step that must complete (the creation of a temporary file, the rename of the output) then holds
// them off for the whole process, as it did before the sort had threads.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <thread>

namespace dbc::dbcsort {

class Task {
 public:
  Task() = default;
  // Starts `work` on a thread of its own, or, when `parallel` is false, does it at once on the
  // caller's thread (a failure then comes from wait(), as it would from a thread).
  Task(bool parallel, std::function<void()> work);
  // Waits for the work; a failure of it is dropped, since another one is already on its way.
  ~Task();
  Task(Task&&) noexcept = default;
  Task& operator=(Task&& other) noexcept;
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;

  // Waits for the work to end and throws what it threw. Nothing to wait for: returns at once.
  void wait();

 private:
  std::thread thread_;
  std::unique_ptr<std::exception_ptr> failure_;
};

// The thread count when DBCSORT_THREADS does not say: one per processor, at least one.
unsigned processors();

}  // namespace dbc::dbcsort
