#include "ixmark/walkahead.hpp"

#include <cstring>
#include <memory>
#include <utility>

namespace dbc::ixmark {

namespace {
constexpr std::size_t kBatchEntries = 4096;
constexpr std::size_t kBatchesAhead = 4;
}  // namespace

WalkAhead::WalkAhead(int isif, const IndexHeader& h, std::string orgnam, std::FILE* out,
                     std::string isiflnm, bool ichflg, const TagWriter& writer)
    : h_(h), former_(writer), out_(out) {
  thread_ =
      startAhead([this, isif, orgnam = std::move(orgnam), isiflnm = std::move(isiflnm),
                  ichflg]() mutable { run(isif, std::move(orgnam), std::move(isiflnm), ichflg); });
}

WalkAhead::~WalkAhead() { stopAhead(m_, cv_, stopping_, thread_); }

WalkAhead::Batch::Batch(std::size_t stride)
    : keys(new char[kBatchEntries * stride]), tags(new char[kBatchEntries * kTagMax]) {
  places.reserve(kBatchEntries);
  lens.reserve(kBatchEntries);
}

void WalkAhead::Batch::clear() {
  tagBytes = 0;
  places.clear();
  lens.clear();
}

void WalkAhead::hand(std::unique_ptr<Batch>& b) {
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [&] { return stopping_ || ready_.size() < kBatchesAhead; });
  if (stopping_) throw Stopping{};
  ready_.push_back(std::move(b));
  cv_.notify_all();
  if (!spare_.empty()) {
    b = std::move(spare_.back());
    spare_.pop_back();
    b->clear();
  } else {
    b = std::make_unique<Batch>(static_cast<std::size_t>(h_.keysiz) + 1);
  }
}

void WalkAhead::run(int isif, std::string orgnam, std::string isiflnm, bool ichflg) {
  const auto stride = static_cast<std::size_t>(h_.keysiz) + 1;
  auto b = std::make_unique<Batch>(stride);
  // Every other batch has its tags formed here, the others on the run's thread as it writes
  // them: forming costs about twice the walking and writing, so the two threads then do
  // about as much each.
  bool formHere = true;
  try {
    // The walk keeps two blocks and its stack: too big for a thread's stack to hold lightly.
    auto walk = std::make_unique<IsamWalk>(isif, h_, std::move(orgnam), said_.file(out_), isiflnm);
    walk->walk(
        [&](const IndexEntry& e) {
          char* const key = b->keys.get() + b->places.size() * stride;
          const int len =
              formHere ? former_.formPrintable(e, key, b->tags.get() + b->tagBytes) : -1;
          if (len < 0) std::memcpy(key, e.keyval, stride);
          b->tagBytes += static_cast<std::size_t>(len < 0 ? 0 : len);
          b->lens.push_back(len);
          b->places.push_back({e.txtpos, e.filpos1, e.bufpos});
          if (b->places.size() == kBatchEntries) {
            hand(b);
            formHere = !formHere;
          }
        },
        ichflg);
  } catch (const Stopping&) {
    return;
  } catch (...) {
    b->failure = std::current_exception();
    b->said = said_.text();
  }
  b->last = true;
  try {
    hand(b);
  } catch (const Stopping&) {
  }
}

std::unique_ptr<WalkAhead::Batch> WalkAhead::take() {
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [&] { return !ready_.empty(); });
  std::unique_ptr<Batch> b = std::move(ready_.front());
  ready_.pop_front();
  cv_.notify_all();
  return b;
}

void WalkAhead::walk(TagWriter& writer) {
  const auto stride = static_cast<std::size_t>(h_.keysiz) + 1;
  for (;;) {
    std::unique_ptr<Batch> b = take();
    const char* tag = b->tags.get();
    for (std::size_t i = 0; i < b->places.size(); ++i) {
      const Place& p = b->places[i];
      const int len = b->lens[i];
      writer.wrttag1({b->keys.get() + i * stride, p.txtpos, p.filpos1, p.bufpos}, tag, len);
      if (len > 0) tag += len;
    }
    if (b->last) {
      if (!b->failure) return;
      std::fputs(b->said.c_str(), out_);
      std::rethrow_exception(b->failure);
    }
    std::lock_guard<std::mutex> lock(m_);
    spare_.push_back(std::move(b));
  }
}

}  // namespace dbc::ixmark
