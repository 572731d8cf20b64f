#include "platform/dbcsort/task.hpp"

#include <sched.h>

#include <utility>

#include "common/signals.hpp"

namespace dbc::dbcsort {

Task::Task(bool parallel, std::function<void()> work)
    : failure_(std::make_unique<std::exception_ptr>()) {
  if (!parallel) {
    try {
      work();
    } catch (...) {
      *failure_ = std::current_exception();
    }
    return;
  }
  // A new thread starts with its creator's signal mask.
  SignalsHeld held;
  thread_ = std::thread([work = std::move(work), failure = failure_.get()] {
    try {
      work();
    } catch (...) {
      *failure = std::current_exception();
    }
  });
}

Task::~Task() {
  if (thread_.joinable()) thread_.join();
}

Task& Task::operator=(Task&& other) noexcept {
  if (this != &other) {
    if (thread_.joinable()) thread_.join();
    thread_ = std::move(other.thread_);
    failure_ = std::move(other.failure_);
  }
  return *this;
}

void Task::wait() {
  if (thread_.joinable()) thread_.join();
  if (failure_ && *failure_) {
    std::exception_ptr failure = std::exchange(*failure_, nullptr);
    std::rethrow_exception(failure);
  }
}

unsigned processors() {
  // The processors this process may run on, which a container or taskset may make fewer than
  // the machine has.
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
    return static_cast<unsigned>(CPU_COUNT(&set));
  }
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

}  // namespace dbc::dbcsort
