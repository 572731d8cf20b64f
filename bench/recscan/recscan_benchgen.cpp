// Writes the benchmark's data: a DB/C type file of fixed-length records, with a deleted record
// now and then and a damaged byte here and there, and a text file of the same records as lines.
//   recscan_benchgen DBCFILE TEXTFILE [MiB]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr int kRecordLength = 100;  // 101 bytes with the record mark, as the other benches

// One record's text: letters, numbers and padding blanks, as business records are.
std::string makeRecord(std::mt19937& rng, long n) {
  static const char* const kNames[] = {"ACME LTD",   "BETA GMBH", "GAMMA INC", "DELTA PLC",
                                       "EPSILON SA", "ZETA BV",   "ETA AG",    "THETA LLC"};
  static const char* const kCities[] = {"LONDON", "BERLIN", "NEW YORK", "PARIS", "OSLO"};
  char buf[256];
  std::snprintf(buf, sizeof buf, "%08ld %-20s %-12s %10.2f %06u %s", n, kNames[rng() % 8],
                kCities[rng() % 5], (rng() % 10000000) / 100.0,
                static_cast<unsigned>(rng() % 1000000u), "ACCOUNT OPEN");
  std::string r(buf);
  r.resize(kRecordLength, ' ');
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DBCFILE TEXTFILE [MiB]\n", argv[0]);
    return 2;
  }
  const long mib = argc > 3 ? std::atol(argv[3]) : 1024;
  const long records = mib * 1024 * 1024 / (kRecordLength + 1);
  std::FILE* dbc = std::fopen(argv[1], "wb");
  std::FILE* txt = std::fopen(argv[2], "wb");
  if (dbc == nullptr || txt == nullptr) {
    std::perror("recscan_benchgen");
    return 1;
  }
  std::mt19937 rng(531);
  for (long n = 0; n < records; ++n) {
    std::string r = makeRecord(rng, n);
    // One record in a thousand deleted or damaged, half of each.
    if (n % 1999 == 500) r.assign(kRecordLength, '\xFF');   // a deleted record
    if (n % 4001 == 7) r[rng() % kRecordLength] = '\0';     // a null byte
    if (n % 4003 == 11) r[rng() % kRecordLength] = '\x01';  // a control character
    std::fwrite(r.data(), 1, r.size(), dbc);
    std::fputc(0xFA, dbc);
    if (n % 1999 == 500) r.assign(kRecordLength, '\x7F');  // deleted space of text files
    std::fwrite(r.data(), 1, r.size(), txt);
    std::fputc('\n', txt);
  }
  std::fputc(0xFB, dbc);
  if (std::fclose(dbc) != 0 || std::fclose(txt) != 0) {
    std::perror("recscan_benchgen");
    return 1;
  }
  return 0;
}
