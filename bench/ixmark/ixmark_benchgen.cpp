// Writes a DBC type data file of N fixed-length records with 20-character keys, its ISAM index
// (block size 4096) and, optionally, the text tags that ixmark would write for it, so that GNU
// sort can be timed on the same tags. Keys run in record order through a random permutation, so
// the index's record positions come in random order while its block positions ascend, as in a
// real index. The last CHANGED records get a new key after the index was written: each then shows
// as one disagreement.
//
//   ixmark_benchgen DATA INDEX TAGS|- N [CHANGED]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "testkit/isam.hpp"

namespace {

constexpr int kKeySize = 20;
constexpr int kBlockSize = 4096;
constexpr int kRecordSize = 80;  // the key, then text; the mark follows

std::string keyOf(std::uint64_t k) {
  char key[kKeySize + 1];
  std::snprintf(key, sizeof key, "CUST%016llu", static_cast<unsigned long long>(k * 7 + 3));
  return std::string(key, kKeySize);
}

void die(const char* what, const char* path) {
  std::fprintf(stderr, "ixmark_benchgen: cannot write %s %s\n", what, path);
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: ixmark_benchgen DATA INDEX TAGS|- N [CHANGED]\n");
    return 2;
  }
  const char* dataPath = argv[1];
  const char* indexPath = argv[2];
  const char* tagPath = argv[3];
  const std::uint64_t n = std::strtoull(argv[4], nullptr, 10);
  const std::uint64_t changed = argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 0;

  // record[k]: the record (in file order) that holds the k-th key in key order.
  std::vector<std::uint32_t> record(n);
  std::iota(record.begin(), record.end(), 0u);
  std::mt19937_64 rng(20261208);
  std::shuffle(record.begin(), record.end(), rng);
  std::vector<std::uint32_t> keyOfRecord(n);
  for (std::uint64_t k = 0; k < n; ++k) keyOfRecord[record[k]] = static_cast<std::uint32_t>(k);

  std::FILE* data = std::fopen(dataPath, "wb");
  if (!data) die("data file", dataPath);
  std::string rec(kRecordSize + 1, ' ');
  rec[kRecordSize] = '\xFA';
  for (std::uint64_t r = 0; r < n; ++r) {
    std::string key = keyOf(keyOfRecord[r]);
    if (r + changed >= n) key[4] = 'X';  // the index keeps the old key
    std::memcpy(&rec[0], key.data(), kKeySize);
    std::snprintf(&rec[kKeySize + 1], 40, "NAME %010llu CITY %06llu",
                  static_cast<unsigned long long>(r), static_cast<unsigned long long>(r % 999983));
    rec[std::strlen(rec.c_str())] = ' ';
    rec[kRecordSize] = '\xFA';
    if (std::fwrite(rec.data(), 1, rec.size(), data) != rec.size()) die("data file", dataPath);
  }
  if (std::fputc(0xFB, data) == EOF || std::fclose(data) != 0) die("data file", dataPath);

  // The header names the data file as the index would: its base name without extension.
  std::string base = dataPath;
  if (auto slash = base.rfind('/'); slash != std::string::npos) base.erase(0, slash + 1);
  if (auto dot = base.find('.'); dot != std::string::npos) base.erase(dot);
  testkit::IsamHeader h;
  h.dataName = base;
  h.segments = "1-20";
  h.blksiz = kBlockSize;
  h.recsiz = kRecordSize;
  std::FILE* index = std::fopen(indexPath, "w+b");
  if (!index) die("index", indexPath);
  testkit::IsamTreeWriter w(kKeySize, kBlockSize, 1024, 0, 0, nullptr, index);
  std::FILE* tags = std::strcmp(tagPath, "-") == 0 ? nullptr : std::fopen(tagPath, "wb");
  if (std::strcmp(tagPath, "-") != 0 && !tags) die("tags", tagPath);
  // Leaf entries take 27 bytes each at most, so about 150 share a block; the tags only need
  // ascending block positions, not the writer's exact ones.
  const std::uint64_t perBlock = (kBlockSize - 2) / (kKeySize + 7);
  for (std::uint64_t k = 0; k < n; ++k) {
    std::uint64_t pos = std::uint64_t{record[k]} * (kRecordSize + 1);
    std::string key = keyOf(k);
    w.add({key, pos});
    if (tags) {
      std::fprintf(tags, "%12llu%12llu%12llu%s\n",
                   static_cast<unsigned long long>(1024 + (k / perBlock) * kBlockSize),
                   static_cast<unsigned long long>(1 + (k % perBlock) * 27),
                   static_cast<unsigned long long>(pos), key.c_str());
    }
  }
  std::uint64_t root = w.finish();
  std::string header = testkit::isamHeaderBytes(h, root);
  if (std::fseek(index, 0, SEEK_SET) != 0 ||
      std::fwrite(header.data(), 1, header.size(), index) != header.size() ||
      std::fclose(index) != 0)
    die("index", indexPath);
  if (tags && std::fclose(tags) != 0) die("tags", tagPath);
  return 0;
}
