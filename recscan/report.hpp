// What recscan prints at the end of a run: the readable report (with the compression block of
// -c) or the one summary line that the data mirroring scripts read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "recscan/scan.hpp"

namespace dbc::recscan {

// The share of the file that is deleted space, in per cent, as the report and the summary show it.
float deletedPercent(const Scanner& s);

// A number with a comma between groups of three digits: 1234567 is "1,234,567".
std::string dformat(std::int64_t value);

// A short byte count with a unit letter ("2.38m", "1.00k", "1023"); empty for 0 or less. With
// `bytflg` it is dformat.
std::string nformat(std::int64_t value, bool bytflg);

// What the report needs beside the scan's settings and counters.
struct ReportFacts {
  std::string filnam;  // bare name with extension
  FileType filtyp = FileType::kText;
  double runtim = 0;  // processor time of the scan, in minutes
};

// The report follows the settings the scan ran under: -b, -c and the file's definition.
void printSummary(std::FILE* out, const Scanner& scan, const ReportFacts& facts);
void printReport(std::FILE* out, const Scanner& scan, const ReportFacts& facts);

}  // namespace dbc::recscan
