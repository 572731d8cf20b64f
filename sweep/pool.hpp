// Up to JOBS checks at a time: the work is handed out in the order given (the caller puts the
// largest first, so that a big file does not start last and hold up the end), and while the
// workers run, the calling thread wakes now and then for the progress line.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

namespace dbc::sweep {

// Calls work(i) once for each i below `count` on `jobs` threads, and tick() on the calling thread
// about every `tickMillis` until all are done. Once `stop` is set no further work is started.
// Returns how many were done.
std::size_t runPool(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
                    const std::atomic<bool>& stop, const std::function<void()>& tick,
                    int tickMillis = 200);

// The number of cores this process may run on.
int coreCount();

}  // namespace dbc::sweep
