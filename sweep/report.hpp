// What a sweep prints when it is done: a table of one line per file in path order, then one
// summary line with the count of each verdict; and the exit status those verdicts give.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sweep/result.hpp"

namespace dbc::sweep {

struct Counts {
  int ok = 0, damaged = 0, mismatch = 0, error = 0;
  int total() const { return ok + damaged + mismatch + error; }
};

Counts countVerdicts(const std::vector<Result>& results);

// 0 when every file is OK, 1 when any is DAMAGED or MISMATCH, else 2 when any is an ERROR.
int exitStatusOf(const Counts& counts);

const char* verdictName(Verdict v);  // "OK", "DAMAGED", "MISMATCH", "ERROR"

// Sorted by path, as the table and the JSON list them.
void sortByPath(std::vector<Result>& results);

// The table (a heading, then one line per file; with `quiet` only the lines that are not OK and
// no heading) and the summary line. A figure that means nothing for the file shows as "-".
void printTable(std::FILE* out, const std::vector<Result>& results, bool quiet);
void printSummary(std::FILE* out, const Counts& counts);

}  // namespace dbc::sweep
