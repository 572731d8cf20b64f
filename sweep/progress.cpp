#include "sweep/progress.hpp"

#include <unistd.h>

namespace dbc::sweep {

std::string clockTime(double seconds) {
  long s = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
  char buf[32];
  if (s >= 3600) {
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  }
  return buf;
}

std::string progressLine(const ProgressFacts& f) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%4lld/%lld files  %8.1f/%.1f MB  %s elapsed",
                static_cast<long long>(f.filesDone), static_cast<long long>(f.filesTotal),
                static_cast<double>(f.bytesDone) / 1048576.0,
                static_cast<double>(f.bytesTotal) / 1048576.0, clockTime(f.elapsed).c_str());
  std::string line = buf;
  if (f.bytesDone > 0 && f.bytesTotal >= f.bytesDone) {
    double left = f.elapsed * static_cast<double>(f.bytesTotal - f.bytesDone) /
                  static_cast<double>(f.bytesDone);
    line += "  about " + clockTime(left) + " left";
  }
  return line;
}

ProgressLine::ProgressLine(std::FILE* out) : out_(out), terminal_(::isatty(fileno(out)) == 1) {}

void ProgressLine::show(const ProgressFacts& f) {
  if (!terminal_) return;
  // Back to the start, the new line, and the rest of a longer old one erased.
  std::fprintf(out_, "\r%s\033[K", progressLine(f).c_str());
  std::fflush(out_);
  shown_ = true;
}

void ProgressLine::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_ = false;
}

}  // namespace dbc::sweep
