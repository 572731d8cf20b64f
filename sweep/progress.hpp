// The progress line a sweep shows on a terminal, rewritten in place: files done of total, bytes
// done of total, elapsed time and an estimate of the time left.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace dbc::sweep {

struct ProgressFacts {
  std::int64_t filesDone = 0, filesTotal = 0;
  std::int64_t bytesDone = 0, bytesTotal = 0;
  double elapsed = 0;  // seconds
};

// "  12/40 files   310.5/1024.0 MB   0:42 elapsed   about 1:35 left"; the estimate from the bytes
// done so far, none before there is any.
std::string progressLine(const ProgressFacts& f);

// "m:ss", or "h:mm:ss" from an hour on.
std::string clockTime(double seconds);

// Shows lines on `out` only when it is a terminal: never into a pipe or a file.
class ProgressLine {
 public:
  explicit ProgressLine(std::FILE* out);
  void show(const ProgressFacts& f);
  // Clears the line, so the table starts at the left of an empty one.
  void clear();

 private:
  std::FILE* out_;
  bool terminal_;
  bool shown_ = false;
};

}  // namespace dbc::sweep
