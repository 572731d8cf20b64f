// Writes a print file of about the given size: report pages of 60 lines up to 132 bytes wide,
// with a set-up string, carriage-return underlining, braces and backslashes, and form feeds.
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: genprint FILE MEGABYTES\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  long long want = std::atoll(argv[2]) * 1000000LL, done = 0;
  std::string page = "\x1b&l1O\x1b(s0p16.67h8.5v0s0b0T\r\n";
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  std::string lines;
  for (int l = 0; l < 60; ++l) {
    std::string line;
    int width = 40 + next() % 93;
    for (int c = 0; c < width; ++c) {
      unsigned r = next() % 64;
      line += r < 10 ? ' ' : r == 10 ? '{' : r == 11 ? '\\' : static_cast<char>('A' + r % 26);
    }
    if (l % 12 == 0) line += "\r" + std::string(width / 2, '_');
    lines += line + "\r\n";
  }
  lines += "\f";
  while (done < want) {
    if (std::fwrite(page.data(), 1, page.size(), out) != page.size()) return 1;
    done += static_cast<long long>(page.size());
    page = lines;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
