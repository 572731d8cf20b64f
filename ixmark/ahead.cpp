#include "ixmark/ahead.hpp"

#include <utility>

#include "common/signals.hpp"

namespace dbc::ixmark {

std::thread startAhead(std::function<void()> body) {
  SignalsHeld held;  // the thread starts with the signals held off, and keeps them so
  return std::thread(std::move(body));
}

void stopAhead(std::mutex& m, std::condition_variable& cv, bool& stopping, std::thread& t) {
  {
    std::lock_guard<std::mutex> lock(m);
    stopping = true;
  }
  cv.notify_all();
  if (t.joinable()) t.join();
}

}  // namespace dbc::ixmark
