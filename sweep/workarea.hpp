// Where the checks keep their work files: one folder for the sweep under the work volume, and
// in it one folder per check, so that two indexes of the same name in different folders, and
// checks running at the same time, never meet. Everything in it goes when the sweep ends.
#pragma once

#include <optional>
#include <string>

#include "common/config.hpp"

namespace dbc::sweep {

// The work volume: NDXPROBE_WRK when set and not empty, else the first folder of the volume
// `wrk`, as ixmark3 takes them; else TMPDIR, else /tmp.
std::string workVolume(const Config& config, const EnvLookup& env);

// Removes `path` and everything below it, following no link. Quietly: what is gone is gone.
void removeTree(const std::string& path);

class WorkArea {
 public:
  // The sweep's own folder, made afresh (mode 0700) under `volume`; nothing, with the reason in
  // `error`, when it cannot be made.
  static std::optional<WorkArea> create(const std::string& volume, std::string& error);
  WorkArea(WorkArea&& o) noexcept : root_(std::move(o.root_)) { o.root_.clear(); }
  WorkArea& operator=(WorkArea&& o) noexcept;
  ~WorkArea();

  const std::string& root() const { return root_; }
  // A new, empty folder for check number `n`; empty when it cannot be made.
  std::string jobFolder(std::size_t n) const;

 private:
  explicit WorkArea(std::string root) : root_(std::move(root)) {}
  std::string root_;
};

}  // namespace dbc::sweep
