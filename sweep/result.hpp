// What one check found: the verdict and the figures behind it. A figure that means nothing for
// the kind of file, or that a failed check never got to, is left empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dbc::sweep {

// A folder appears only when it could not be read: then nothing in it was checked.
enum class Kind { kData, kIndex, kFolder };

// In rising order of what a caller must act on, errors aside.
enum class Verdict { kOk, kDamaged, kMismatch, kError };

struct Result {
  std::string path;
  Kind kind = Kind::kData;
  Verdict verdict = Verdict::kOk;
  std::optional<std::int64_t> size;
  std::optional<std::int64_t> records;        // records of a data file, entries of an index
  std::optional<std::int64_t> damaged;        // damaged bytes (data)
  std::optional<float> deletedPercent;        // deleted space, as recscan computes it (data)
  std::optional<std::int64_t> disagreements;  // index entries and records that disagree
  double seconds = 0;
  std::string reason;  // why an ERROR could not be checked
};

inline Result resultOf(std::string path, Kind kind, Verdict verdict = Verdict::kOk,
                       std::string reason = {}) {
  Result r;
  r.path = std::move(path);
  r.kind = kind;
  r.verdict = verdict;
  r.reason = std::move(reason);
  return r;
}

}  // namespace dbc::sweep
