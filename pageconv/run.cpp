#include "pageconv/run.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/io.hpp"
#include "common/pages.hpp"
#include "common/stop.hpp"
#include "pageconv/convert.hpp"
#include "pageconv/layout.hpp"

namespace dbc::pageconv {

namespace {

// A block and the document text it becomes stay in the processor's cache between the kernel's
// copy and ours.
constexpr std::size_t kBlock = 1 << 17;
// The document is written this much at a time, at offsets of whole multiples of it: the page
// cache then takes the text in folios of that size rather than page by page, a fourth as many
// allocations for the kernel to make and account for.
constexpr std::size_t kDrain = 1 << 17;
// A block is converted a slice of about this much at a time, each ended by a line feed, and the
// text written out after each: what is left over for the next write, and moved to the front of
// the buffer, stays small.
constexpr std::size_t kSlice = 1 << 14;

struct Files {
  const char* inName;
  const char* outName;
  Fd in;
  Fd out;
  std::FILE* report;          // where the messages go
  Fd back;                    // the output read back, where it is a regular file that can be
  std::uint64_t written = 0;  // bytes of the document written so far
  std::uint64_t inSize = 0;   // of the print, when it was opened
};

[[noreturn]] void fail(const Files& f, const char* format, const char* name) {
  std::fprintf(f.report, format, name);
  throw Stop{1};
}

void open(Files& f) {
  f.in = openFile(f.inName, O_RDONLY);
  struct stat in {};
  if (!f.in || ::fstat(f.in.get(), &in) != 0 || S_ISDIR(in.st_mode)) {
    fail(f, "Error openning %s \n", f.inName);
  }
  f.inSize = static_cast<std::uint64_t>(std::max<off_t>(in.st_size, 0));
  // The file is read twice; a pipe would give its text to the first pass only.
  if (::lseek(f.in.get(), 0, SEEK_CUR) < 0) fail(f, "Error reading %s \n", f.inName);
  ::posix_fadvise(f.in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

  // Emptied only once it is known not to be the print file itself.
  f.out = openFile(f.outName, O_WRONLY | O_CREAT, 0666);
  struct stat out {};
  if (!f.out || ::fstat(f.out.get(), &out) != 0) fail(f, "Error openning %s \n", f.outName);
  if (out.st_dev == in.st_dev && out.st_ino == in.st_ino) {
    fail(f, "Output would overwrite the input: %s \n", f.outName);
  }
  if (S_ISREG(out.st_mode) && out.st_size > 0 && ::ftruncate(f.out.get(), 0) != 0) {
    fail(f, "Error writing %s \n", f.outName);
  }
  if (S_ISREG(out.st_mode)) {
    // Only the file just opened will do: the name may stand for another one by now.
    Fd back = openFile(f.outName, O_RDONLY | O_NOFOLLOW);
    struct stat b {};
    if (back && ::fstat(back.get(), &b) == 0 && b.st_dev == out.st_dev && b.st_ino == out.st_ino) {
      f.back = std::move(back);
    }
  }
}

// The kernel copies between the page cache and memory several times faster when both sides
// stand at the same place in a page: the blocks are read into, and the document written from,
// the start of a page, and the document is written a whole number of pages at a time.
struct Block {
  PageMemory bytes = allocatePages(kBlock);
  char* data() { return bytes.get(); }
  static constexpr std::size_t size() { return kBlock; }
};

// Reads the file from its start and hands each block, from `offset` on, to `use`.
template <typename Use>
void pass(const Files& f, Block& block, std::size_t offset, Use use) {
  if (::lseek(f.in.get(), 0, SEEK_SET) < 0) fail(f, "Error reading %s \n", f.inName);
  for (bool first = true;; first = false) {
    ssize_t got = readFull(f.in.get(), block.data(), block.size());
    if (got < 0) fail(f, "Error reading %s \n", f.inName);
    std::size_t skip = first ? std::min<std::size_t>(offset, got) : 0;
    if (static_cast<std::size_t>(got) > skip) use(block.data() + skip, got - skip);
    if (static_cast<std::size_t>(got) < block.size()) return;
  }
}

// Writes the document text out, all of it or as many times kDrain bytes of it as it holds.
void drain(Files& f, TextBuffer& text, bool all) {
  std::size_t n = all ? text.size() : text.size() / kDrain * kDrain;
  if (!writeFull(f.out.get(), text.text().data(), n)) fail(f, "Error writing %s \n", f.outName);
  text.consume(n);
  f.written += n;
}

// Converts p[0..n), slice by slice, writing the text out as it comes. A slice ends after a line
// feed, where the conversion stands between two lines, so that no line is cut.
void convertBlock(Files& f, Converter& converter, TextBuffer& text, const char* p, std::size_t n) {
  for (std::size_t at = 0; at < n;) {
    std::size_t cut = n;
    if (n - at > kSlice) {
      const void* feed = std::memchr(p + at + kSlice, '\n', n - at - kSlice);
      if (feed) cut = static_cast<std::size_t>(static_cast<const char*>(feed) - p) + 1;
    }
    converter.feed(p + at, cut - at);
    at = cut;
    if (text.size() >= kDrain) drain(f, text, false);
  }
}

std::string headerOf(std::int64_t linmax, std::int64_t pagmax) {
  return header(chooseLayout(linmax, pagmax));
}

// The print measured first, then converted behind the header: it is read twice.
void measureThenConvert(Files& f, Block& block, std::size_t offset) {
  Measure measure;
  pass(f, block, offset, [&](const char* p, std::size_t n) { measure.feed(p, n); });

  TextBuffer text;
  text.append(headerOf(measure.linmax(), measure.pagmax()));
  Converter converter(text);
  pass(f, block, offset,
       [&](const char* p, std::size_t n) { convertBlock(f, converter, text, p, n); });
  converter.finish();
  drain(f, text, true);
}

// Sets the disk blocks the document will take aside before it is written (as much as the print
// and an eighth), past the file's end, which the file system then fills in place instead of
// reserving room page by page as the text comes: it takes a third off the time the kernel
// spends writing. The room not used is given back at the end. Where the file system cannot do
// this, nothing changes.
void reserveRoom(const Files& f) {
#ifdef FALLOC_FL_KEEP_SIZE
  const std::uint64_t room = f.inSize + f.inSize / 8 + kPageSize;
  (void)::fallocate(f.out.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(room));
#else
  (void)f;
#endif
}

// Gives the room set aside back should the conversion stop early, on a failed read or write: no
// size shows it, so the disk would stay that much fuller until the file is emptied or removed.
class RoomGiver {
 public:
  explicit RoomGiver(int fd) : fd_(fd) {}
  RoomGiver(const RoomGiver&) = delete;
  RoomGiver& operator=(const RoomGiver&) = delete;
  ~RoomGiver() {
    struct stat st {};
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0) (void)::ftruncate(fd_, st.st_size);
  }
  void done() { fd_ = -1; }

 private:
  int fd_;
};

// The `size` bytes of the output at `from` moved to `to`, a block at a time, starting at the end
// when they move up, so that none is overwritten before it has been moved.
void moveText(const Files& f, Block& block, std::uint64_t from, std::uint64_t to,
              std::uint64_t size) {
  for (std::uint64_t done = 0; done < size;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - done));
    const std::uint64_t at = to > from ? size - done - n : done;
    if (preadFull(f.back.get(), block.data(), n, static_cast<off_t>(from + at)) !=
            static_cast<ssize_t>(n) ||
        !pwriteFull(f.out.get(), block.data(), n, static_cast<off_t>(to + at))) {
      fail(f, "Error writing %s \n", f.outName);
    }
    done += n;
  }
}

// The print measured and converted in one reading, the text written behind the header that the
// first block calls for: a report's first pages show, as a rule, its widest line and its fullest
// page. The conversion counts the lines and pages as it goes, and the header that the whole print
// calls for is put in its place at the end; should it be of another length, the text is moved
// to make room for it.
void measureAndConvert(Files& f, Block& block, std::size_t offset) {
  reserveRoom(f);
  RoomGiver giver(f.out.get());
  TextBuffer text;
  Converter converter(text);
  std::string guess;
  pass(f, block, offset, [&](const char* p, std::size_t n) {
    if (guess.empty()) {
      Measure first;
      first.feed(p, n);
      text.append(guess = headerOf(first.linmax(), first.pagmax()));
    }
    convertBlock(f, converter, text, p, n);
  });
  const std::string real = headerOf(converter.linmax(), converter.pagmax());
  if (guess.empty()) text.append(guess = real);  // nothing was read
  converter.finish();
  drain(f, text, true);
  if (real.size() != guess.size()) {
    moveText(f, block, guess.size(), real.size(), f.written - guess.size());
  }
  if (real != guess && !pwriteFull(f.out.get(), real.data(), real.size(), 0)) {
    fail(f, "Error writing %s \n", f.outName);
  }
  // Gives back the room set aside past the end.
  if (::ftruncate(f.out.get(), static_cast<off_t>(f.written - guess.size() + real.size())) != 0) {
    fail(f, "Error writing %s \n", f.outName);
  }
  giver.done();
}

void convert(Files& f) {
  Block block;
  ssize_t got = preadFull(f.in.get(), block.data(), kFirstBlock, 0);
  if (got < 0) fail(f, "Error reading %s \n", f.inName);
  std::size_t offset = setupOffset(std::string_view(block.data(), got));
  if (f.back) {
    measureAndConvert(f, block, offset);
  } else {
    measureThenConvert(f, block, offset);
  }
  if (!f.out.close()) fail(f, "Error writing %s \n", f.outName);
}

}  // namespace

int run(const std::vector<std::string>& args, Context& context) {
  if (args.size() != 2) {
    std::fprintf(context.out, "\nConvert Print to RTF - Nov 21, 2012\n");
    std::fprintf(context.out, "Format: pageconv infile outfile\n");
    return 1;
  }
  Files f{args[0].c_str(), args[1].c_str(), {}, {}, context.out, {}};
  open(f);
  convert(f);
  return 0;
}

}  // namespace dbc::pageconv
