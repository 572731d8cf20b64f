// Writes a DBC type data file of 101-byte records (100 characters and the mark) of about MIB
// MiB, and a changed copy: every 997th record changed, every 4999th deleted the way DB/C deletes
// (bytes 0xFF, the mark kept), and 1000 records appended.
//
//   audit_benchgen OLD NEW MIB
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: audit_benchgen OLD NEW MIB\n");
    return 2;
  }
  std::FILE* before = std::fopen(argv[1], "wb");
  std::FILE* after = std::fopen(argv[2], "wb");
  if (!before || !after) {
    std::fprintf(stderr, "audit_benchgen: cannot create the data files\n");
    return 1;
  }
  const std::uint64_t records = std::strtoull(argv[3], nullptr, 10) * 1048576 / 101;
  std::string rec(101, ' ');
  rec[100] = '\xFA';
  auto fill = [&](std::uint64_t r, char tag) {
    std::snprintf(&rec[0], 101, "%c%011llu CUSTOMER %-20llu CITY %08llu BALANCE %012llu", tag,
                  static_cast<unsigned long long>(r), static_cast<unsigned long long>(r * 7919),
                  static_cast<unsigned long long>(r % 99991),
                  static_cast<unsigned long long>(r * 31 % 1000003));
    for (std::size_t i = std::char_traits<char>::length(rec.c_str()); i < 100; ++i) rec[i] = ' ';
    rec[100] = '\xFA';
  };
  bool ok = true;
  for (std::uint64_t r = 0; r < records; ++r) {
    fill(r, 'A');
    ok &= std::fwrite(rec.data(), 1, rec.size(), before) == rec.size();
    if (r % 4999 == 4998) {
      std::string gone(100, '\xFF');
      gone += '\xFA';
      ok &= std::fwrite(gone.data(), 1, gone.size(), after) == gone.size();
      continue;
    }
    if (r % 997 == 996) fill(r, 'B');
    ok &= std::fwrite(rec.data(), 1, rec.size(), after) == rec.size();
  }
  for (std::uint64_t r = records; r < records + 1000; ++r) {
    fill(r, 'C');
    ok &= std::fwrite(rec.data(), 1, rec.size(), after) == rec.size();
  }
  ok &= std::fputc(0xFB, before) != EOF && std::fputc(0xFB, after) != EOF;
  ok &= std::fclose(before) == 0 && std::fclose(after) == 0;
  if (!ok) {
    std::fprintf(stderr, "audit_benchgen: cannot write the data files\n");
    return 1;
  }
  return 0;
}
