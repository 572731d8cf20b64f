#include "recmend/repair.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/io.hpp"

namespace recmend {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Nonzero when one of the eight bytes of `x` lies outside 32 to 126: a byte below 32 borrows
// into its top bit, a byte above 126 carries into it (or has it set already). A borrow or carry
// can only spill into a neighbour after a byte that was out of range itself, so the answer is
// exact for the word as a whole.
inline std::uint64_t outsidePrintable(std::uint64_t x) {
  std::uint64_t below = (x - kOnes * VALID_START) & ~x & kHighs;
  std::uint64_t above = ((x + kOnes * (127 - VALID_END)) | x) & kHighs;
  return below | above;
}

// The system's reason after a fixed prefix, as perror writes it, on the run's error stream.
void perrorTo(FILE* err, const char* prefix) {
  std::fprintf(err, "%s: %s\n", prefix, std::strerror(errno));
}

// Reads up to `n` bytes at `offset`; the count read, and whether a read error (not the end of
// the file) cut it short.
std::size_t readAt(int fd, unsigned char* buf, std::size_t n, off_t offset, bool& failed) {
  std::size_t done = 0;
  failed = false;
  while (done < n) {
    ssize_t r = ::pread(fd, buf + done, n - done, offset + static_cast<off_t>(done));
    if (r < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return done;
}

std::size_t writeAt(int fd, const unsigned char* buf, std::size_t n, off_t offset) {
  std::size_t done = 0;
  while (done < n) {
    ssize_t w = ::pwrite(fd, buf + done, n - done, offset + static_cast<off_t>(done));
    if (w < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (w == 0) break;
    done += static_cast<std::size_t>(w);
  }
  return done;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

enum class Piece { kLine, kEnd, kFailed };

// One line of the position list as the list is read: at most 1023 characters at a time, so a
// longer line comes in pieces, each taken as a line. The piece keeps its line feed. A failed read
// (errno says why) is no end of the list: the positions after it would be silently skipped.
Piece readListPiece(FILE* list, std::string& piece) {
  piece.clear();
  while (piece.size() < 1023) {
    int c = std::getc(list);
    if (c == EOF) {
      if (!std::ferror(list)) break;
      if (errno != EINTR) return Piece::kFailed;
      std::clearerr(list);
      continue;
    }
    piece.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return piece.empty() ? Piece::kEnd : Piece::kLine;
}

class RepairRun {
 public:
  RepairRun(const Settings& s, int fd, FILE* out, FILE* err)
      : s_(s),
        size_(static_cast<std::size_t>(s.RECORD_SIZE)),
        fd_(fd),
        out_(out),
        err_(err),
        copy_(size_) {}

  void position_run(FILE* list, int& result) {
    std::vector<unsigned char> record(size_);
    if (s_.POSITION_SET == 1) examine(s_.RECORD_POSITION, record.data());
    if (!list) return;
    std::string piece;
    Piece got;
    while ((got = readListPiece(list, piece)) == Piece::kLine) {
      std::string_view line(piece);
      if (line.back() == '\n') line.remove_suffix(1);
      if (line.empty() || !is_number(line)) {
        // The text before the line feed; an empty line shows the line feed, or nothing at all.
        std::string_view shown = line.empty() ? std::string_view(piece) : line;
        std::fputs("Input file position (", out_);
        std::fwrite(shown.data(), 1, shown.size(), out_);
        std::fputs(") is invalid.\n", out_);
        result = 1;
        continue;
      }
      std::int64_t pos = 0;
      for (char c : line) {
        int d = c - '0';
        pos = pos > (INT64_MAX - d) / 10 ? INT64_MAX : pos * 10 + d;
      }
      examine(pos, record.data());
    }
    if (got == Piece::kFailed) {
      int e = errno;
      std::fflush(out_);
      std::fputs("An unknown error interrupted read!\n", err_);
      errno = e;
      perrorTo(err_, "ERROR");
      result = 1;
    }
  }

  void detection_run() {
    // Whole records at a time, many to a read: the file is read once, front to back.
    std::size_t perChunk = std::max<std::size_t>(1, (std::size_t{4} << 20) / size_);
    std::size_t chunk = perChunk * size_;
    std::vector<unsigned char> buf(chunk);
    off_t offset = 0;
    for (;;) {
      bool failed = false;
      std::size_t n = readAt(fd_, buf.data(), chunk, offset, failed);
      std::size_t whole = n / size_;
      for (std::size_t k = 0; k < whole; ++k) {
        const unsigned char* record = buf.data() + k * size_;
        if (!record_is_clean(record, size_)) {
          detect(record, offset + static_cast<off_t>(k * size_));
        }
      }
      offset += static_cast<off_t>(whole * size_);
      if (n < chunk) {
        // A trailing partial record is no record; a failed read, though, would otherwise pass
        // for a file checked to its end.
        if (failed) {
          int e = errno;
          std::fflush(out_);
          std::fprintf(err_, "ERROR: %d bytes of %zu read.\n", static_cast<int>(n % size_), size_);
          std::fprintf(err_, "An unknown error interrupted read!\n");
          errno = e;
          perrorTo(err_, "ERROR");
        }
        return;
      }
    }
  }

  std::uint64_t total() const { return total_; }

 private:
  void examine(std::int64_t pos, unsigned char* record) {
    std::fprintf(out_, "Record position: %zu\n", static_cast<std::size_t>(pos));
    if (::lseek(fd_, static_cast<off_t>(pos), SEEK_SET) < 0) return;
    bool failed = false;
    std::size_t n = readAt(fd_, record, size_, static_cast<off_t>(pos), failed);
    if (n < size_) {
      std::fflush(out_);
      std::fprintf(err_, "ERROR: %d bytes of %zu read.\n", static_cast<int>(n), size_);
      std::fputs(failed ? "An unknown error interrupted read!\n" : "Hit end of file (EOF)!\n",
                 err_);
      return;
    }
    std::memcpy(copy_.data(), record, size_);
    for (std::size_t i = 0; i < size_; ++i) {
      unsigned char b = record[i];
      if (valid_byte(b, i, size_)) continue;
      std::fprintf(out_, "Invalid byte %d: %c (hex: %x; dec: %u) ", static_cast<int>(i), b, b,
                   static_cast<unsigned>(b));
      ++total_;
      copy_[i] = s_.FILL_VALUE;
    }
    write_back(record, static_cast<off_t>(pos));
  }

  void detect(const unsigned char* record, off_t offset) {
    bool header = false;
    std::uint32_t nuls = 0;
    std::memcpy(copy_.data(), record, size_);
    for (std::size_t i = 0; i < size_; ++i) {
      unsigned char b = record[i];
      if (valid_byte(b, i, size_)) continue;
      unsigned char to;
      if (b == NULL_VALUE && s_.ZERO_DETECTION_FLAG) {
        to = NULL_FILL_VALUE;
        ++nuls;
      } else if (b != NULL_VALUE && s_.FULL_DETECTION_FLAG) {
        to = s_.FILL_VALUE;
      } else {
        continue;
      }
      if (!header) {
        std::fprintf(out_, "Record: %zu; Position: %zu\n", static_cast<std::size_t>(offset) / size_,
                     static_cast<std::size_t>(offset));
        header = true;
      }
      copy_[i] = to;
      ++total_;
      std::fprintf(out_,
                   "Changing '%c' (hex: %x; dec: %d) to '%c' (hex: %x; dec: %d). Offset: %d\n", b,
                   b, b, to, to, to, static_cast<int>(i));
    }
    if (s_.ZERO_DETECTION_FLAG) {
      if (nuls > 0) std::fprintf(out_, "%d occurrences of 0x00 characters found.\n", nuls);
      // So many NULs leave nothing worth keeping: the record, its mark too, becomes deleted
      // space.
      if (nuls > DELETE_NULL_THRESHOLD) std::memset(copy_.data(), NULL_FILL_VALUE, size_);
    }
    write_back(record, offset);
  }

  void write_back(const unsigned char* record, off_t offset) {
    if (!s_.UPDATE_FLAG || std::memcmp(copy_.data(), record, size_) == 0) return;
    std::size_t n = writeAt(fd_, copy_.data(), size_, offset);
    if (n == size_) {
      std::fputs("File updated.\n", out_);
    } else {
      std::fflush(out_);
      std::fprintf(err_, "ERROR: %d bytes of %zu written.\n", static_cast<int>(n), size_);
    }
  }

  const Settings& s_;
  std::size_t size_;
  int fd_;
  FILE* out_;
  FILE* err_;
  std::vector<unsigned char> copy_;
  std::uint64_t total_ = 0;
};

}  // namespace

bool record_is_clean(const unsigned char* record, std::size_t size) {
  if (size == 0) return true;
  std::size_t body = size - 1;
  std::size_t i = 0;
  std::uint64_t bad = 0;
  for (; i + 32 <= body; i += 32) {
    std::uint64_t w[4];
    std::memcpy(w, record + i, sizeof w);
    bad |= outsidePrintable(w[0]) | outsidePrintable(w[1]) | outsidePrintable(w[2]) |
           outsidePrintable(w[3]);
  }
  for (; i + 8 <= body; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, record + i, sizeof w);
    bad |= outsidePrintable(w);
  }
  if (bad) return false;
  for (; i < body; ++i) {
    if (record[i] < VALID_START || record[i] > VALID_END) return false;
  }
  return valid_byte(record[body], body, size);
}

int process_file(const Settings& s, FILE* out, FILE* err) {
  int result = 0;
  dbc::Fd data = dbc::openFile(s.DATAFILE, O_RDWR);
  if (!data) {
    perrorTo(err, "ERROR");
    result = 1;
  }
  File list;
  if (!s.INPUTFILE.empty()) {
    list.reset(std::fopen(s.INPUTFILE.c_str(), "rbe"));
    if (!list) {
      perrorTo(err, "ERROR");
      result = 1;
    }
  }
  std::uint64_t total = 0;
  if (result == 0) {
    RepairRun run(s, data.get(), out, err);
    if (s.ZERO_DETECTION_FLAG || s.FULL_DETECTION_FLAG) {
      run.detection_run();
    } else {
      run.position_run(list.get(), result);
    }
    total = run.total();
  }
  list.reset();
  std::fprintf(out, "Number of invalid characters processed: %zu\n",
               static_cast<std::size_t>(total));
  return result;
}

}  // namespace recmend
