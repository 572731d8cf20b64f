#include "platform/dbcsort/budget.hpp"

#include <algorithm>
#include <cstdint>

#include "platform/dbcsort/options.hpp"

namespace dbc::dbcsort {

namespace {
constexpr std::size_t kMinBuffer = 4096;
constexpr std::size_t kMaxIoBuffer = std::size_t{1} << 20;
constexpr std::size_t kMaxMergeBuffer = std::size_t{4} << 20;
constexpr std::size_t kMaxFanIn = 64;
// Record offsets inside a run are kept in 32 bits.
constexpr std::size_t kMaxChunk = UINT32_MAX;
// Below this a chunk's sort costs less than handing it to a thread.
constexpr std::size_t kMinChunk = std::size_t{64} << 10;
}  // namespace

Budget Budget::of(std::size_t total, std::size_t threads) {
  total = std::max(total, kMinBudget);
  Budget b;
  b.total = total;
  b.ioBuffer = std::clamp(total / 16, kMinBuffer, kMaxIoBuffer);
  // For each thread a chunk and the writer of its runs, and one chunk more with the input's
  // buffer for the reading.
  const std::size_t affordable = std::max<std::size_t>(total / (b.ioBuffer + kMinChunk), 2) - 1;
  b.threads =
      std::clamp(threads, std::size_t{1}, std::clamp(affordable, std::size_t{1}, kMaxThreads));
  // While one chunk is filled from the input, as many others as threads are sorted and written.
  b.chunks = b.threads == 1 ? 1 : b.threads + 1;
  b.chunk = std::min((total - (b.threads + 1) * b.ioBuffer) / b.chunks, kMaxChunk);
  std::size_t avail = total - b.ioBuffer;
  b.mergeBuffer = std::clamp(avail / kMaxFanIn, kMinBuffer, kMaxMergeBuffer);
  b.fanIn = std::clamp(avail / b.mergeBuffer, std::size_t{2}, kMaxFanIn);
  return b;
}

Budget Budget::oneChunk() const {
  Budget b = *this;
  b.chunks = 1;
  b.chunk = std::min(chunks * chunk, kMaxChunk);
  return b;
}

std::size_t Budget::mergesAtOnce(std::size_t merges) const {
  return std::clamp(std::min({merges, threads, mergeBuffer / kMinBuffer}), std::size_t{1},
                    kMaxThreads);
}

std::size_t Budget::share(std::size_t size, std::size_t ways) {
  return std::max(size / std::max<std::size_t>(ways, 1), kMinBuffer);
}

}  // namespace dbc::dbcsort
