#include "ixmark/prefetch.hpp"

#include <cstdlib>
#include <utility>

namespace dbc::ixmark {

namespace {
constexpr std::size_t kBatchTags = 4096;
constexpr std::size_t kBatchesAhead = 4;
// Room for a batch of the usual tags, of a key of some 20 characters and a few more.
constexpr std::size_t kBatchBytes = kBatchTags * 64;
}  // namespace

PrefetchedTags::PrefetchedTags(Fd srtf, bool ichflg, std::FILE* out, std::string srtflnm)
    : out_(out),
      sorted_(std::move(srtf), ichflg, said_.file(out), 1 << 16, std::move(srtflnm)),
      thread_(startAhead([this] { read(); })) {}

PrefetchedTags::~PrefetchedTags() { stopAhead(m_, cv_, stopping_, thread_); }

PrefetchedTags::Batch PrefetchedTags::readBatch() {
  Batch b;
  b.text.reserve(kBatchBytes);
  b.ends.reserve(kBatchTags);
  try {
    while (b.ends.size() < kBatchTags) {
      if (sorted_.appendsrt(b.text) < 0) {
        b.last = true;
        break;
      }
      b.ends.push_back(b.text.size());
    }
  } catch (...) {
    b.failure = std::current_exception();
    b.last = true;
    b.said = said_.text();
  }
  return b;
}

void PrefetchedTags::read() {
  for (bool last = false; !last;) {
    Batch b = readBatch();
    last = b.last;
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [&] { return stopping_ || ready_.size() < kBatchesAhead; });
    if (stopping_) return;
    ready_.push_back(std::move(b));
    cv_.notify_all();
  }
}

void PrefetchedTags::take() {
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [&] { return !ready_.empty(); });
  current_ = std::move(ready_.front());
  ready_.pop_front();
  at_ = 0;
  cv_.notify_all();
}

int PrefetchedTags::getsrt(std::string& buffer1) {
  while (at_ == current_.ends.size()) {
    if (current_.last) {
      if (current_.failure) {
        std::fputs(current_.said.c_str(), out_);
        std::rethrow_exception(std::exchange(current_.failure, nullptr));
      }
      buffer1.clear();
      return -1;
    }
    take();
  }
  const std::size_t from = at_ == 0 ? 0 : current_.ends[at_ - 1];
  buffer1.assign(current_.text, from, current_.ends[at_] - from);
  ++at_;
  return static_cast<int>(buffer1.size());
}

}  // namespace dbc::ixmark
