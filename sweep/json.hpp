// The sweep's results as one JSON document for a monitoring system:
//   {"version": 1, "started": ISO-8601, "seconds": N,
//    "summary": {"ok": N, "damaged": N, "mismatch": N, "error": N},
//    "files": [{"path", "kind", "verdict", "size", "records", "damaged_bytes",
//               "deleted_percent", "disagreements", "seconds", "reason"}]}
// A key without a meaning for that kind of file, or for a check that failed, is left out.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sweep/report.hpp"
#include "sweep/result.hpp"

namespace dbc::sweep {

// `s` as a JSON string, quotes included. Bytes that are no UTF-8 (a file name may hold any) are
// written as \u00XX of the byte, so the document stays valid.
std::string jsonString(std::string_view s);

// "2026-12-09T06:45:38Z"
std::string isoTime(std::time_t t);

std::string jsonDocument(const std::vector<Result>& results, const Counts& counts,
                         std::time_t started, double seconds);

// Writes `document` to `path` under a temporary name in the same folder and renames it, so a
// reader never sees half a document. `guard` is told the temporary name while it exists (so a
// stop can remove it) and then the empty string. False, with the reason in `error`; a `path`
// that exists and is no regular file is never replaced.
bool writeJson(const std::string& path, const std::string& document,
               const std::function<void(const std::string&)>& guard, std::string& error);

}  // namespace dbc::sweep
