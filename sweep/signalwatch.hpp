// How a sweep ends on SIGHUP, SIGINT or SIGTERM. With threads and children at work, no cleanup is
// safe inside a signal handler; so the three signals are blocked in every thread and one thread
// of their own waits for them. When one comes it runs the sweep's cleanup (stop the children,
// wait for the checks to let go, remove the work folders) as ordinary code, and then the process
// dies of that same signal, so the script that started it sees why it ended. A signal the sweep
// was started with ignored (nohup) stays ignored.
#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace dbc::sweep {

class SignalWatch {
 public:
  // Blocks the signals in the calling thread, before it starts any other: they inherit that.
  // `cleanup` gets the signal's number; the process dies of it when cleanup returns.
  explicit SignalWatch(std::function<void(int sig)> cleanup);
  // Stops watching and gives the calling thread its signal mask back; a signal that came
  // meanwhile then takes effect.
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

 private:
  void watch();

  std::function<void(int)> cleanup_;
  sigset_t old_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace dbc::sweep
