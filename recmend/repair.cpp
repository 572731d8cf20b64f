#include "recmend/repair.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/format.hpp"
#include "common/io.hpp"
#include "recmend/printable.hpp"

namespace dbc::recmend {
namespace {

// The system's reason for `error` after a fixed prefix, as perror writes it, on the run's error
// stream.
void perrorTo(FILE* err, const char* prefix, int error) {
  std::fprintf(err, "%s: %s\n", prefix, std::strerror(error));
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

// Whether a list line holds a position: the text before its line feed, digits only.
bool listPosition(std::string_view piece, std::int64_t& pos) {
  std::string_view line = piece;
  if (line.back() == '\n') line.remove_suffix(1);
  if (line.empty() || !is_number(line)) return false;
  pos = decimal(line);
  return true;
}

void reportInvalidLine(FILE* out, std::string_view piece) {
  // The text before the line feed; an empty line shows the line feed, or nothing at all.
  std::string_view shown = piece.substr(0, piece.size() - (piece.back() == '\n' ? 1 : 0));
  if (shown.empty()) shown = piece;
  std::fputs("Input file position (", out);
  std::fwrite(shown.data(), 1, shown.size(), out);
  std::fputs(") is invalid.\n", out);
}

class RepairRun {
 public:
  RepairRun(const Settings& s, int fd, const Context& context)
      : s_(s),
        size_(static_cast<std::size_t>(s.RECORD_SIZE)),
        fd_(fd),
        out_(context.out),
        err_(context.err),
        record_(size_),
        copy_(size_) {}

  // The position of -p, then those of the list, line by line.
  Result position_run(FILE* list) {
    Result result = Result::kOk;
    if (s_.POSITION_SET) examine(s_.RECORD_POSITION);
    if (!list) return result;
    std::string piece;
    Piece got;
    while ((got = readListPiece(list, piece)) == Piece::kLine) {
      std::int64_t pos;
      if (listPosition(piece, pos)) {
        examine(pos);
      } else {
        // Said and counted as a failure, but the positions after it are still examined.
        reportInvalidLine(out_, piece);
        result = Result::kFailed;
      }
    }
    if (got == Piece::kFailed) {
      int error = errno;
      std::fflush(out_);
      std::fputs("An unknown error interrupted read!\n", err_);
      perrorTo(err_, "ERROR", error);
      result = Result::kFailed;
    }
    return result;
  }

  // Every whole record from the start of the file.
  void detection_run() {
    // Whole records at a time, many to a read: the file is read once, front to back.
    std::size_t perChunk = std::max<std::size_t>(1, DETECTION_CHUNK / size_);
    std::size_t chunk = perChunk * size_;
    std::vector<unsigned char> buf(chunk);
    CleanTest clean = fastest_clean_test();
    for (off_t offset = 0;;) {
      int error = 0;
      std::size_t n = readAt(buf.data(), chunk, offset, error);
      std::size_t whole = n / size_;
      for (std::size_t k = 0; k < whole; ++k) {
        const unsigned char* record = buf.data() + k * size_;
        if (!clean(record, size_)) detect(record, offset + static_cast<off_t>(k * size_));
      }
      offset += static_cast<off_t>(whole * size_);
      if (n == chunk) continue;
      // A trailing partial record is no record, and the run ends there without a word; a failed
      // read, though, would otherwise pass for a file checked to its end.
      if (error != 0) {
        reportShortRead(n % size_, true);
        perrorTo(err_, "ERROR", error);
      }
      return;
    }
  }

  std::uint64_t total() const { return total_; }

 private:
  // Reads up to `n` bytes at `offset` and returns the count that came; `error` is the reason when
  // a read error, not the end of the file, cut it short.
  std::size_t readAt(unsigned char* buf, std::size_t n, off_t offset, int& error) {
    std::size_t done = 0;
    if (preadFull(fd_, buf, n, offset, &done) < 0) error = errno;
    return done;
  }

  // Said on the error stream, after the report so far, so that a terminal shows them in order.
  void reportShortRead(std::size_t got, bool failed) {
    std::fflush(out_);
    std::fprintf(err_, "ERROR: %d bytes of %zu read.\n", static_cast<int>(got), size_);
    std::fputs(failed ? "An unknown error interrupted read!\n" : "Hit end of file (EOF)!\n", err_);
  }

  void examine(std::int64_t pos) {
    std::fprintf(out_, "Record position: %zu\n", static_cast<std::size_t>(pos));
    // A position the file cannot even be positioned at (past the largest offset the file system
    // allows) is passed over without a word, where a read there would be said to fail.
    if (::lseek(fd_, static_cast<off_t>(pos), SEEK_SET) < 0) return;
    int error = 0;
    std::size_t n = readAt(record_.data(), size_, static_cast<off_t>(pos), error);
    if (n < size_) {
      reportShortRead(n, error != 0);
      return;
    }
    std::memcpy(copy_.data(), record_.data(), size_);
    for (std::size_t i = 0; i < size_; ++i) {
      unsigned char b = record_[i];
      if (valid_byte(b, i, size_)) continue;
      // No line end: the pieces of a record and whatever follows them share one line.
      std::fprintf(out_, "Invalid byte %d: %c (hex: %x; dec: %u) ", static_cast<int>(i), b, b,
                   static_cast<unsigned>(b));
      ++total_;
      copy_[i] = s_.FILL_VALUE;
    }
    write_back(record_.data(), static_cast<off_t>(pos));
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
        continue;  // the other mode's byte: neither changed nor said
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

  // The report is the same with and without -u; only the writing depends on it.
  void write_back(const unsigned char* record, off_t offset) {
    if (!s_.UPDATE_FLAG || std::memcmp(copy_.data(), record, size_) == 0) return;
    std::size_t n = 0;
    if (pwriteFull(fd_, copy_.data(), size_, offset, &n)) {
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
  std::vector<unsigned char> record_;  // as read, in the position run
  std::vector<unsigned char> copy_;    // with the replacements
  std::uint64_t total_ = 0;
};

}  // namespace

Result process_file(const Settings& s, const Context& context) {
  Result result = Result::kOk;
  // Opened for writing in report-only mode too: a report run fails wherever the update would.
  Fd data = openFile(s.DATAFILE, O_RDWR);
  if (!data) {
    perrorTo(context.err, "ERROR", errno);
    result = Result::kFailed;
  }
  File list;
  // Opened, and a failure said, in a detection run too, which does not read it: the command line
  // named it, and both failures are said at once.
  if (!s.INPUTFILE.empty()) {
    list.reset(std::fopen(s.INPUTFILE.c_str(), "rbe"));
    if (!list) {
      perrorTo(context.err, "ERROR", errno);
      result = Result::kFailed;
    }
  }
  std::uint64_t total = 0;
  if (result == Result::kOk) {
    RepairRun run(s, data.get(), context);
    if (s.ZERO_DETECTION_FLAG || s.FULL_DETECTION_FLAG) {
      run.detection_run();
    } else {
      result = run.position_run(list.get());
    }
    total = run.total();
  }
  list.reset();
  std::fprintf(context.out, "Number of invalid characters processed: %zu\n",
               static_cast<std::size_t>(total));
  return result;
}

}  // namespace dbc::recmend
