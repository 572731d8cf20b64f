// Writes N tags as ixmark writes them (key size 20): block positions ascending, record positions
// in random order, once as text lines (ixmark) and once as compressed records ended by 0xFB
// (ixmark3), so both forms of DBCSORT and GNU sort see the same tags.
//
//   dbcsort_benchgen TEXT COMPRESSED N
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "common/codec.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: dbcsort_benchgen TEXT COMPRESSED N\n");
    return 2;
  }
  const std::uint64_t n = std::strtoull(argv[3], nullptr, 10);
  std::vector<std::uint32_t> record(n);
  std::iota(record.begin(), record.end(), 0u);
  std::mt19937_64 rng(5000000);
  std::shuffle(record.begin(), record.end(), rng);
  std::FILE* text = std::fopen(argv[1], "wb");
  std::FILE* comp = std::fopen(argv[2], "wb");
  if (!text || !comp) {
    std::fprintf(stderr, "dbcsort_benchgen: cannot create the tag files\n");
    return 1;
  }
  constexpr std::uint64_t kPerBlock = 150;  // entries of a 4096-byte leaf with 20-byte keys
  char tag[128];
  for (std::uint64_t k = 0; k < n; ++k) {
    int len = std::snprintf(tag, sizeof tag, "%12llu%12llu%12lluCUST%016llu",
                            static_cast<unsigned long long>(1024 + (k / kPerBlock) * 4096),
                            static_cast<unsigned long long>(1 + (k % kPerBlock) * 27),
                            static_cast<unsigned long long>(std::uint64_t{record[k]} * 81),
                            static_cast<unsigned long long>(k * 7 + 3));
    std::string line(tag, static_cast<std::size_t>(len));
    std::fputs(line.c_str(), text);
    std::fputc('\n', text);
    std::string rec = dbc::encodeRecord(line, false);
    rec.push_back(static_cast<char>(dbc::kRecordMark));
    std::fwrite(rec.data(), 1, rec.size(), comp);
  }
  std::fputc(dbc::kEofMark, comp);
  if (std::fclose(text) != 0 || std::fclose(comp) != 0) {
    std::fprintf(stderr, "dbcsort_benchgen: cannot write the tag files\n");
    return 1;
  }
  return 0;
}
