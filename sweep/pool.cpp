#include "sweep/pool.hpp"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace dbc::sweep {

std::size_t runPool(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
                    const std::atomic<bool>& stop, const std::function<void()>& tick,
                    int tickMillis) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  std::size_t done = 0;
  int running = std::clamp<int>(jobs, 1, static_cast<int>(std::max<std::size_t>(count, 1)));
  auto worker = [&] {
    for (std::size_t i; !stop && (i = next++) < count;) {
      work(i);
      std::lock_guard<std::mutex> lock(mutex);
      ++done;
    }
    std::lock_guard<std::mutex> lock(mutex);
    --running;
    finished.notify_all();
  };
  std::vector<std::thread> threads;
  for (int t = running; t > 0; --t) threads.emplace_back(worker);
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(tickMillis),
                              [&] { return running == 0; })) {
      lock.unlock();
      tick();
      lock.lock();
    }
  }
  for (std::thread& t : threads) t.join();
  return done;
}

int coreCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace dbc::sweep
