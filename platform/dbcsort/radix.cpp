#include "platform/dbcsort/radix.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/task.hpp"

namespace dbc::dbcsort {

std::uint64_t KeySource::head(const SortEntry& e, std::size_t depth, unsigned char* scratch) const {
  return keyHead(key(e, scratch), keyBytes, depth);
}

bool KeySource::headAfter(const SortEntry& e, const unsigned char* prefix, std::size_t depth,
                          std::uint64_t& head, unsigned char* scratch) const {
  const unsigned char* k = key(e, scratch);
  if (std::memcmp(k, prefix, depth) != 0) return false;
  head = keyHead(k, keyBytes, depth);
  return true;
}

namespace {

// Below this many entries a group is finished by insertion sort.
constexpr std::size_t kSmall = 32;
// From this many entries a group is split by two bytes at once, where its head has them: keys
// that use a few values of each byte (digits, spaces) then take half the passes over the
// entries, and the 65536 buckets cost little beside the entries themselves.
constexpr std::size_t kWideFrom = std::size_t{1} << 16;
constexpr std::size_t kWide = std::size_t{1} << 16;
// Entries that one thread sorts before the work is worth sharing out.
constexpr std::size_t kShareFrom = std::size_t{1} << 16;
// Groups split on the first thread before the rest is shared out, at most: enough to even out
// the threads' shares, few enough that keys which hardly split cannot make it slow.
constexpr int kMostSplits = 64;

// Entries whose keys agree before `depth`; their heads hold the key bytes from `window` on
// (window <= depth <= window + 8).
struct Group {
  SortEntry* base;
  std::size_t n;
  std::size_t depth;
  std::size_t window;
};

class GroupSorter {
 public:
  explicit GroupSorter(const KeySource& keys)
      : keys_(keys), kb_(keys.keyBytes), a_(keys.keyBytes), b_(keys.keyBytes) {}

  // Sorts `g`, or splits it by one byte and adds the parts still to sort to `work`.
  void step(Group g, std::vector<Group>& work);
  void sortAll(std::vector<Group> work) {
    while (!work.empty()) {
      Group g = work.back();
      work.pop_back();
      step(g, work);
    }
  }
  void loadHeads(SortEntry* e, std::size_t n, std::size_t depth) {
    for (std::size_t i = 0; i < n; ++i) e[i].head = keys_.head(e[i], depth, a_.data());
  }

 private:
  bool less(const SortEntry& x, const SortEntry& y, std::size_t window);
  void insertionSort(const Group& g);
  void split(const Group& g, unsigned shift, const std::size_t* count, std::vector<Group>& work);
  // Splits `g` by the two bytes at its depth, in place; false, with nothing moved, when every
  // entry has the same two bytes there.
  bool splitWide(const Group& g, std::vector<Group>& work);

  const KeySource& keys_;
  const std::size_t kb_;
  std::vector<unsigned char> a_, b_;
  std::vector<std::uint32_t> wideCount_, wideNext_;  // for splitWide, made when first needed
};

bool GroupSorter::less(const SortEntry& x, const SortEntry& y, std::size_t window) {
  if (x.head != y.head) return x.head < y.head;
  if (window + 8 < kb_) {
    const unsigned char* kx = keys_.key(x, a_.data());
    const unsigned char* ky = keys_.key(y, b_.data());
    int c = std::memcmp(kx + window + 8, ky + window + 8, kb_ - window - 8);
    if (c != 0) return c < 0;
  }
  return x.offset < y.offset;
}

void GroupSorter::insertionSort(const Group& g) {
  for (std::size_t i = 1; i < g.n; ++i) {
    if (!less(g.base[i], g.base[i - 1], g.window)) continue;
    SortEntry cur = g.base[i];
    std::size_t j = i;
    while (j > 0 && less(cur, g.base[j - 1], g.window)) {
      g.base[j] = g.base[j - 1];
      --j;
    }
    g.base[j] = cur;
  }
}

// Moves each entry straight into its bucket of the byte at `shift`, in place.
void GroupSorter::split(const Group& g, unsigned shift, const std::size_t* count,
                        std::vector<Group>& work) {
  std::size_t start[256], next[256];
  std::size_t sum = 0;
  for (int b = 0; b < 256; ++b) {
    start[b] = next[b] = sum;
    sum += count[b];
  }
  for (int b = 0; b < 256; ++b) {
    const std::size_t end = start[b] + count[b];
    while (next[b] < end) {
      SortEntry e = g.base[next[b]];
      unsigned v = static_cast<unsigned>(e.head >> shift) & 0xFF;
      while (v != static_cast<unsigned>(b)) {
        std::swap(e, g.base[next[v]++]);
        v = static_cast<unsigned>(e.head >> shift) & 0xFF;
      }
      g.base[next[b]++] = e;
    }
  }
  for (int b = 0; b < 256; ++b) {
    if (count[b] > 1) work.push_back({g.base + start[b], count[b], g.depth + 1, g.window});
  }
}

bool GroupSorter::splitWide(const Group& g, std::vector<Group>& work) {
  if (wideCount_.empty()) {
    wideCount_.resize(kWide);
    wideNext_.resize(kWide);
  }
  const unsigned shift = static_cast<unsigned>(48 - 8 * (g.depth - g.window));
  auto digit = [shift](const SortEntry& e) {
    return static_cast<std::size_t>(e.head >> shift) & (kWide - 1);
  };
  std::uint32_t* const count = wideCount_.data();
  std::uint32_t* const next = wideNext_.data();
  std::fill(count, count + kWide, 0u);
  for (std::size_t i = 0; i < g.n; ++i) ++count[digit(g.base[i])];
  if (count[digit(g.base[0])] == g.n) return false;
  // Each bucket's start, then where its next entry goes; the entries move along cycles, each
  // straight into its bucket, as split() does.
  std::uint32_t sum = 0;
  for (std::size_t d = 0; d < kWide; ++d) {
    next[d] = sum;
    sum += count[d];
  }
  std::size_t at = 0;
  for (std::size_t d = 0; d < kWide; ++d) {
    const std::size_t end = at + count[d];
    while (next[d] < end) {
      SortEntry e = g.base[next[d]];
      std::size_t v = digit(e);
      while (v != d) {
        std::swap(e, g.base[next[v]++]);
        v = digit(e);
      }
      g.base[next[d]++] = e;
    }
    if (count[d] > 1) work.push_back({g.base + at, count[d], g.depth + 2, g.window});
    at = end;
  }
  return true;
}

void GroupSorter::step(Group g, std::vector<Group>& work) {
  for (;;) {
    if (g.n < 2) return;
    if (g.depth >= kb_) {  // equal keys: input order
      std::sort(g.base, g.base + g.n,
                [](const SortEntry& x, const SortEntry& y) { return x.offset < y.offset; });
      return;
    }
    if (g.n < kSmall) {
      insertionSort(g);
      return;
    }
    if (g.depth == g.window + 8) {
      loadHeads(g.base, g.n, g.depth);
      g.window = g.depth;
    }
    if (g.n >= kWideFrom && g.depth + 2 <= g.window + 8 && g.depth + 2 <= kb_ && splitWide(g, work))
      return;
    const unsigned shift = static_cast<unsigned>(56 - 8 * (g.depth - g.window));
    std::size_t count[256] = {};
    for (std::size_t i = 0; i < g.n; ++i) ++count[(g.base[i].head >> shift) & 0xFF];
    if (count[(g.base[0].head >> shift) & 0xFF] != g.n) {
      split(g, shift, count, work);
      return;
    }
    // Every entry has the same byte here: on past every byte of the head they all share, which
    // matters for keys that start with a run of equal columns (right-justified numbers start
    // with spaces).
    std::uint64_t differ = 0;
    for (std::size_t i = 1; i < g.n; ++i) differ |= g.base[i].head ^ g.base[0].head;
    g.depth = differ == 0 ? g.window + 8
                          : g.window + static_cast<std::size_t>(__builtin_clzll(differ)) / 8;
  }
}

// Splits the largest groups on this thread until each thread can be given an even share, then
// sorts the shares side by side.
void sortShared(SortEntry* entries, std::size_t n, const KeySource& keys, std::size_t threads,
                std::size_t depth) {
  GroupSorter first(keys);
  std::vector<Group> groups{{entries, n, depth, depth}};
  for (int i = 0; i < kMostSplits && !groups.empty(); ++i) {
    auto largest = std::max_element(groups.begin(), groups.end(),
                                    [](const Group& x, const Group& y) { return x.n < y.n; });
    if (largest->n <= n / (2 * threads)) break;
    Group g = *largest;
    groups.erase(largest);
    first.step(g, groups);
  }
  std::sort(groups.begin(), groups.end(), [](const Group& x, const Group& y) { return x.n > y.n; });
  std::vector<std::vector<Group>> shares(threads);
  std::vector<std::size_t> load(threads, 0);
  for (const Group& g : groups) {
    std::size_t t =
        static_cast<std::size_t>(std::min_element(load.begin(), load.end()) - load.begin());
    shares[t].push_back(g);
    load[t] += g.n;
  }
  std::vector<Task> tasks;
  for (std::size_t t = 1; t < threads; ++t) {
    if (shares[t].empty()) continue;
    tasks.emplace_back(true,
                       [&keys, share = std::move(shares[t])] { GroupSorter(keys).sortAll(share); });
  }
  first.sortAll(std::move(shares[0]));
  for (Task& t : tasks) t.wait();
}

// Every entry's head at `depth`, in equal stretches side by side: a compressed record's head
// is decoded from the record, which costs more than the sort's pass over it.
void loadHeadsShared(SortEntry* entries, std::size_t n, const KeySource& keys, std::size_t depth,
                     std::size_t threads) {
  const std::size_t shares = n >= kShareFrom ? std::max<std::size_t>(threads, 1) : 1;
  auto load = [&keys, entries, depth](std::size_t from, std::size_t to) {
    std::vector<unsigned char> scratch(keys.keyBytes);
    for (std::size_t i = from; i < to; ++i)
      entries[i].head = keys.head(entries[i], depth, scratch.data());
  };
  std::vector<Task> tasks;
  for (std::size_t t = 1; t < shares; ++t)
    tasks.emplace_back(true, [&load, n, t, shares] { load(n * t / shares, n * (t + 1) / shares); });
  load(0, n / shares);
  for (Task& t : tasks) t.wait();
}

// Entries whose keys are looked at to guess where all the keys first differ.
constexpr std::size_t kSamples = 1024;

// The bytes every key of a sample of the entries starts with, and how many: no key of the
// whole may differ before them, and the guess is checked as the heads are loaded after them.
std::size_t samplePrefix(const SortEntry* entries, std::size_t n, const KeySource& keys,
                         std::vector<unsigned char>& prefix) {
  std::vector<unsigned char> scratch(keys.keyBytes);
  const unsigned char* first = keys.key(entries[0], scratch.data());
  prefix.assign(first, first + keys.keyBytes);
  std::size_t same = keys.keyBytes;
  const std::size_t step = std::max<std::size_t>(n / kSamples, 1);
  for (std::size_t i = step; i < n && same > 0; i += step) {
    const unsigned char* k = keys.key(entries[i], scratch.data());
    std::size_t j = 0;
    while (j < same && k[j] == prefix[j]) ++j;
    same = j;
  }
  return same;
}

// Every entry's head at `depth`, in equal stretches side by side, where every key starts with
// the `depth` bytes of `prefix`; false as soon as one does not.
bool loadHeadsAfter(SortEntry* entries, std::size_t n, const KeySource& keys,
                    const unsigned char* prefix, std::size_t depth, std::size_t threads) {
  const std::size_t shares = n >= kShareFrom ? std::max<std::size_t>(threads, 1) : 1;
  std::vector<char> ok(shares, 1);
  auto load = [&keys, entries, prefix, depth, &ok](std::size_t share, std::size_t from,
                                                   std::size_t to) {
    std::vector<unsigned char> scratch(keys.keyBytes);
    for (std::size_t i = from; i < to; ++i) {
      if (!keys.headAfter(entries[i], prefix, depth, entries[i].head, scratch.data())) {
        ok[share] = 0;
        return;
      }
    }
  };
  std::vector<Task> tasks;
  for (std::size_t t = 1; t < shares; ++t)
    tasks.emplace_back(true,
                       [&load, n, t, shares] { load(t, n * t / shares, n * (t + 1) / shares); });
  load(0, 0, n / shares);
  for (Task& t : tasks) t.wait();
  return std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; });
}

// Where the keys first differ, with every entry's head loaded from there: a sample's guess,
// checked by one look at each key, else found byte by byte over all the keys.
std::size_t loadFirstHeads(SortEntry* entries, std::size_t n, const KeySource& keys,
                           std::size_t threads) {
  std::vector<unsigned char> prefix;
  const std::size_t guess = samplePrefix(entries, n, keys, prefix);
  if (guess > 0 && guess < keys.keyBytes &&
      loadHeadsAfter(entries, n, keys, prefix.data(), guess, threads))
    return guess;
  std::size_t depth = 0;
  for (; depth < keys.keyBytes; depth += 8) {
    loadHeadsShared(entries, n, keys, depth, threads);
    std::uint64_t differ = 0;
    for (std::size_t i = 1; i < n; ++i) differ |= entries[i].head ^ entries[0].head;
    if (differ == 0) continue;
    const std::size_t same = static_cast<std::size_t>(__builtin_clzll(differ)) / 8;
    if (same > 0) loadHeadsShared(entries, n, keys, depth + same, threads);
    return depth + same;
  }
  return depth;
}

}  // namespace

void sortEntries(SortEntry* entries, std::size_t n, const KeySource& keys, std::size_t threads) {
  if (n < 2) return;
  // The heads start where the keys first differ, found while the entries are still in the
  // records' order, so that the records are read in the order they lie.
  GroupSorter sorter(keys);
  const std::size_t depth = loadFirstHeads(entries, n, keys, threads);
  if (threads > 1 && n >= kShareFrom) {
    sortShared(entries, n, keys, threads, depth);
    return;
  }
  sorter.sortAll({{entries, n, depth, depth}});
}

}  // namespace dbc::dbcsort
