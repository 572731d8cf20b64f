#include "common/signals.hpp"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace dbc {

namespace {

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGTERM};
// A program has a handful of temporaries at a time (a sort's output and its run files).
constexpr int kSlots = 64;

struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<bool> armed{false};
  char path[PATH_MAX];
};

// Only the handler, RemoveOnSignal and the installer touch these; see the header.
Slot slots[kSlots];
std::atomic<bool> installed{false};

sigset_t heldSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kSignals) sigaddset(&set, sig);
  return set;
}

void removeArmed() {
  for (Slot& s : slots) {
    if (s.armed.load(std::memory_order_acquire)) unlink(s.path);
  }
}

extern "C" void onSignal(int sig) {
  int saved = errno;
  removeArmed();
  // Die of the signal itself: the default action, raised again once the handler returns.
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  errno = saved;
}

void installOnce() {
  if (installed.exchange(true)) return;
  for (int sig : kSignals) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction act {};
    act.sa_handler = onSignal;
    act.sa_mask = heldSet();
    sigaction(sig, &act, nullptr);
  }
}

// The guarded stretch of a BusErrorGuard and its message; busFrom is 0 while none is armed.
std::atomic<std::uintptr_t> busFrom{0};
std::atomic<std::uintptr_t> busTo{0};
std::atomic<const char*> busMessage{nullptr};

extern "C" void onBusError(int, siginfo_t* info, void*) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  const std::uintptr_t from = busFrom.load(std::memory_order_acquire);
  if (from == 0 || at < from || at >= busTo.load(std::memory_order_acquire)) {
    // Not ours: the default action once the faulting access is retried.
    signal(SIGBUS, SIG_DFL);
    return;
  }
  const char* m = busMessage.load(std::memory_order_acquire);
  ssize_t ignored = write(STDERR_FILENO, m, std::strlen(m));
  (void)ignored;
  removeArmed();
  _exit(1);
}

}  // namespace

BusErrorGuard::BusErrorGuard(const void* at, std::size_t size, const char* message) {
  std::uintptr_t expected = 0;
  const auto from = reinterpret_cast<std::uintptr_t>(at);
  if (from == 0 || !busFrom.compare_exchange_strong(expected, from)) return;
  busTo.store(from + size, std::memory_order_release);
  busMessage.store(message, std::memory_order_release);
  struct sigaction act {};
  act.sa_sigaction = onBusError;
  act.sa_flags = SA_SIGINFO;
  sigemptyset(&act.sa_mask);
  sigaction(SIGBUS, &act, &old_);
  armed_ = true;
}

BusErrorGuard::~BusErrorGuard() {
  if (!armed_) return;
  sigaction(SIGBUS, &old_, nullptr);
  busFrom.store(0, std::memory_order_release);
}

RemoveOnSignal::RemoveOnSignal(const std::string& path) {
  installOnce();
  if (path.size() >= PATH_MAX) return;  // no such file can have been created
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!slots[i].taken.compare_exchange_strong(expected, true)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].armed.store(true, std::memory_order_release);
    slot_ = i;
    return;
  }
  // Every slot in use: the file is then only removed by its owner, as before signals were handled.
}

RemoveOnSignal& RemoveOnSignal::operator=(RemoveOnSignal&& o) noexcept {
  if (this != &o) {
    release();
    slot_ = o.slot_;
    o.slot_ = -1;
  }
  return *this;
}

void RemoveOnSignal::release() {
  if (slot_ < 0) return;
  slots[slot_].armed.store(false, std::memory_order_release);
  slots[slot_].taken.store(false, std::memory_order_release);
  slot_ = -1;
}

SignalsHeld::SignalsHeld() {
  sigset_t set = heldSet();
  sigprocmask(SIG_BLOCK, &set, &old_);
}

SignalsHeld::~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

}  // namespace dbc
