#include "sweep/signalwatch.hpp"

#include <pthread.h>
#include <signal.h>
#include <time.h>

namespace dbc::sweep {

namespace {

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGHUP, SIGINT, SIGTERM}) sigaddset(&set, sig);
  return set;
}

}  // namespace

SignalWatch::SignalWatch(std::function<void(int)> cleanup) : cleanup_(std::move(cleanup)) {
  sigset_t set = stopSignals();
  pthread_sigmask(SIG_BLOCK, &set, &old_);
  thread_ = std::thread([this] { watch(); });
}

SignalWatch::~SignalWatch() {
  done_ = true;
  thread_.join();
  pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

void SignalWatch::watch() {
  const sigset_t set = stopSignals();
  // Woken now and then to see whether the sweep is over: nothing else could wake it safely.
  const timespec tick{0, 50 * 1000 * 1000};
  while (!done_) {
    int sig = sigtimedwait(&set, nullptr, &tick);
    if (sig <= 0) continue;
    cleanup_(sig);
    // Die of it: the default action, delivered to this thread once it is unblocked here.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(sig, &dfl, nullptr);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
  }
}

}  // namespace dbc::sweep
