// pageconv infile outfile: turns a line-printer print file into an RTF document whose font
// size and orientation fit the longest line of the print.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/io.hpp"
#include "common/standard.hpp"
#include "common/stop.hpp"
#include "pageconv/convert.hpp"
#include "pageconv/layout.hpp"

namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr std::size_t kDrain = 1 << 20;

struct Files {
  const char* inName;
  const char* outName;
  dbc::Fd in;
  dbc::Fd out;
};

[[noreturn]] void fail(const char* format, const char* name) {
  std::printf(format, name);
  throw dbc::Stop{1};
}

void open(Files& f) {
  f.in = dbc::openFile(f.inName, O_RDONLY);
  struct stat in {};
  if (!f.in || ::fstat(f.in.get(), &in) != 0 || S_ISDIR(in.st_mode)) {
    fail("Error openning %s \n", f.inName);
  }
  // The file is read twice; a pipe would give its text to the first pass only.
  if (::lseek(f.in.get(), 0, SEEK_CUR) < 0) fail("Error reading %s \n", f.inName);
  ::posix_fadvise(f.in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

  // Emptied only once it is known not to be the print file itself.
  f.out = dbc::openFile(f.outName, O_WRONLY | O_CREAT, 0666);
  struct stat out {};
  if (!f.out || ::fstat(f.out.get(), &out) != 0) fail("Error openning %s \n", f.outName);
  if (out.st_dev == in.st_dev && out.st_ino == in.st_ino) {
    fail("Output would overwrite the input: %s \n", f.outName);
  }
  if (S_ISREG(out.st_mode) && out.st_size > 0 && ::ftruncate(f.out.get(), 0) != 0) {
    fail("Error writing %s \n", f.outName);
  }
}

// Reads the file from its start and hands each block, from `offset` on, to `use`.
template <typename Use>
void pass(const Files& f, std::vector<char>& block, std::size_t offset, Use use) {
  if (::lseek(f.in.get(), 0, SEEK_SET) < 0) fail("Error reading %s \n", f.inName);
  for (bool first = true;; first = false) {
    ssize_t got = dbc::readFull(f.in.get(), block.data(), block.size());
    if (got < 0) fail("Error reading %s \n", f.inName);
    std::size_t skip = first ? std::min<std::size_t>(offset, got) : 0;
    if (static_cast<std::size_t>(got) > skip) use(block.data() + skip, got - skip);
    if (static_cast<std::size_t>(got) < block.size()) return;
  }
}

void drain(const Files& f, std::string& text) {
  if (!dbc::writeFull(f.out.get(), text)) fail("Error writing %s \n", f.outName);
  text.clear();
}

void convert(Files& f) {
  std::vector<char> block(kBlock);
  ssize_t got = dbc::preadFull(f.in.get(), block.data(), pageconv::kFirstBlock, 0);
  if (got < 0) fail("Error reading %s \n", f.inName);
  std::size_t offset = pageconv::setupOffset(std::string_view(block.data(), got));

  pageconv::Measure measure;
  pass(f, block, offset, [&](const char* p, std::size_t n) { measure.feed(p, n); });

  std::string text = pageconv::header(pageconv::chooseLayout(measure.linmax(), measure.pagmax()));
  text.reserve(2 * kDrain);
  pageconv::Converter converter(text);
  pass(f, block, offset, [&](const char* p, std::size_t n) {
    converter.feed(p, n);
    if (text.size() >= kDrain) drain(f, text);
  });
  converter.finish();
  drain(f, text);
  if (!f.out.close()) fail("Error writing %s \n", f.outName);
}

int run(int argc, char** argv) {
  if (argc != 3) {
    std::printf("\nConvert Print to RTF - Nov 21, 2012\n");
    std::printf("Format: pageconv infile outfile\n");
    return 1;
  }
  Files f{argv[1], argv[2], {}, {}};
  open(f);
  convert(f);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  int status;
  try {
    status = run(argc, argv);
  } catch (const dbc::Stop& stop) {
    status = stop.status;
  }
  return dbc::finishStandardOutput("pageconv", status);
}
