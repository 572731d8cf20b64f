#include "sweep/report.hpp"

#include <algorithm>
#include <optional>

namespace dbc::sweep {

namespace {

using ll = long long;

std::string number(const std::optional<std::int64_t>& v) {
  return v ? std::to_string(static_cast<ll>(*v)) : "-";
}

std::string percent(const std::optional<float>& v) {
  if (!v) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%3.2f%%", static_cast<double>(*v));
  return buf;
}

const char* kHeading[] = {"SIZE", "RECORDS", "DAMAGED", "DELETED", "DISAGREE", "SECONDS"};

void printLine(std::FILE* out, int width, const Result& r) {
  std::fprintf(out, "%-9s %-*s %12s %10s %9s %8s %8s %8.2f", verdictName(r.verdict), width,
               r.path.c_str(), number(r.size).c_str(), number(r.records).c_str(),
               number(r.damaged).c_str(), percent(r.deletedPercent).c_str(),
               number(r.disagreements).c_str(), r.seconds);
  if (!r.reason.empty()) std::fprintf(out, "  %s", r.reason.c_str());
  std::fputc('\n', out);
}

int& countOf(Counts& c, Verdict v) {
  switch (v) {
    case Verdict::kOk:
      return c.ok;
    case Verdict::kDamaged:
      return c.damaged;
    case Verdict::kMismatch:
      return c.mismatch;
    case Verdict::kError:
      break;
  }
  return c.error;
}

}  // namespace

Counts countVerdicts(const std::vector<Result>& results) {
  Counts c;
  for (const Result& r : results) ++countOf(c, r.verdict);
  return c;
}

int exitStatusOf(const Counts& c) {
  if (c.damaged > 0 || c.mismatch > 0) return 1;
  return c.error > 0 ? 2 : 0;
}

const char* verdictName(Verdict v) {
  switch (v) {
    case Verdict::kOk:
      return "OK";
    case Verdict::kDamaged:
      return "DAMAGED";
    case Verdict::kMismatch:
      return "MISMATCH";
    case Verdict::kError:
      break;
  }
  return "ERROR";
}

void sortByPath(std::vector<Result>& results) {
  std::stable_sort(results.begin(), results.end(),
                   [](const Result& a, const Result& b) { return a.path < b.path; });
}

void printTable(std::FILE* out, const std::vector<Result>& results, bool quiet) {
  int width = 4;
  for (const Result& r : results) {
    if (!quiet || r.verdict != Verdict::kOk)
      width = std::max(width, static_cast<int>(r.path.size()));
  }
  if (!quiet) {
    std::fprintf(out, "%-9s %-*s %12s %10s %9s %8s %8s %8s\n", "VERDICT", width, "PATH",
                 kHeading[0], kHeading[1], kHeading[2], kHeading[3], kHeading[4], kHeading[5]);
  }
  for (const Result& r : results) {
    if (!quiet || r.verdict != Verdict::kOk) printLine(out, width, r);
  }
}

void printSummary(std::FILE* out, const Counts& c) {
  std::fprintf(out, "%d files: %d OK, %d DAMAGED, %d MISMATCH, %d ERROR\n", c.total(), c.ok,
               c.damaged, c.mismatch, c.error);
}

}  // namespace dbc::sweep
