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
constexpr std::size_t kMaxArena = UINT32_MAX;
}  // namespace

Budget Budget::of(std::size_t total) {
  total = std::max(total, kMinBudget);
  Budget b;
  b.total = total;
  b.ioBuffer = std::clamp(total / 16, kMinBuffer, kMaxIoBuffer);
  b.arena = std::min(total - 2 * b.ioBuffer, kMaxArena);
  std::size_t avail = total - b.ioBuffer;
  b.mergeBuffer = std::clamp(avail / kMaxFanIn, kMinBuffer, kMaxMergeBuffer);
  b.fanIn = std::clamp(avail / b.mergeBuffer, std::size_t{2}, kMaxFanIn);
  return b;
}

}  // namespace dbc::dbcsort
