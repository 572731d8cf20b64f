// Writes a fixed-length DB/C data file for the recmend benchmark: records of 100 printable
// bytes and the record mark, with damage scattered through it (a control byte, a high byte, a
// record mark inside a record, a few NULs, and now and then a record of NULs).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FILE BYTES\n", argv[0]);
    return 2;
  }
  const std::size_t kRecord = 101;
  unsigned long long bytes = std::strtoull(argv[2], nullptr, 10);
  unsigned long long records = bytes / kRecord;
  FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  std::mt19937_64 rng(42);
  // A pool of clean records to copy from keeps generation near disk speed.
  std::vector<std::string> pool(64, std::string(kRecord, ' '));
  for (auto& r : pool) {
    for (std::size_t i = 0; i + 1 < kRecord; ++i) r[i] = static_cast<char>(0x20 + rng() % 95);
    r[kRecord - 1] = '\xFA';
  }
  std::string buf;
  buf.reserve(1 << 22);
  for (unsigned long long k = 0; k < records; ++k) {
    std::string r = pool[k % pool.size()];
    std::uint64_t roll = rng() % 20000;
    if (roll == 0) {
      r.assign(kRecord - 1, '\0');
      r.push_back('\xFA');
    } else if (roll < 4) {
      static const char kDamage[] = {'\0', '\x01', '\x80', '\xFA', '\x7F', '\xE9'};
      int n = 1 + static_cast<int>(rng() % 3);
      for (int i = 0; i < n; ++i) r[rng() % (kRecord - 1)] = kDamage[rng() % sizeof kDamage];
    }
    buf += r;
    if (buf.size() >= (1u << 22) - kRecord) {
      if (std::fwrite(buf.data(), 1, buf.size(), f) != buf.size()) {
        std::perror(argv[1]);
        return 1;
      }
      buf.clear();
    }
  }
  if (std::fwrite(buf.data(), 1, buf.size(), f) != buf.size() || std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
