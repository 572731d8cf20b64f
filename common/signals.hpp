// What the end of a run by SIGHUP, SIGINT or SIGTERM leaves behind. A program's temporary files
// (a partial sort output, a half-written work file, a scratch file in /tmp) are removed before the
// process dies, and it dies of the same signal, so the shell or script that started it sees why
// it ended. A signal the program was started with ignored (nohup) stays ignored.
//
// This is the one place with process-wide mutable state: a signal handler can reach nothing else.
// It holds a fixed number of slots, filled and emptied only through the two classes below.
#pragma once

#include <csignal>
#include <cstddef>
#include <string>

namespace dbc {

// While it lives, the file at `path` is removed if one of the three signals ends the process.
// Give it up (release) before the file becomes something that must stay: a renamed output, a
// work file kept on purpose. Do that and the rename together under SignalsHeld, or a signal that
// lands between the two removes the finished file or leaves the temporary one.
class RemoveOnSignal {
 public:
  RemoveOnSignal() = default;
  explicit RemoveOnSignal(const std::string& path);
  RemoveOnSignal(RemoveOnSignal&& o) noexcept : slot_(o.slot_) { o.slot_ = -1; }
  RemoveOnSignal& operator=(RemoveOnSignal&& o) noexcept;
  RemoveOnSignal(const RemoveOnSignal&) = delete;
  RemoveOnSignal& operator=(const RemoveOnSignal&) = delete;
  ~RemoveOnSignal() { release(); }

  void release();
  bool active() const { return slot_ >= 0; }

 private:
  int slot_ = -1;
};

// Holds the three signals off while it lives; one that arrived meanwhile takes effect when it ends
// (and removes what is registered then). For steps that must complete once begun.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// While it lives, a bus error from touching the `size` bytes at `at` (a mapped file that another
// process cut short meanwhile) ends the process with `message` on standard error and status 1,
// every file registered with RemoveOnSignal removed, instead of a crash that leaves them. A bus
// error anywhere else stays the crash it was. One guard at a time; a second one is not armed.
class BusErrorGuard {
 public:
  BusErrorGuard(const void* at, std::size_t size, const char* message);
  ~BusErrorGuard();
  BusErrorGuard(const BusErrorGuard&) = delete;
  BusErrorGuard& operator=(const BusErrorGuard&) = delete;
  bool armed() const { return armed_; }

 private:
  bool armed_ = false;
  struct sigaction old_ {};
};

}  // namespace dbc
