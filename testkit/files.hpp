// Files and folders for tests: a temporary folder that removes itself, whole-file reads and
// writes, and writers of DB/C configuration and environment files.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testkit {

class TempDir {
 public:
  TempDir();  // a new folder under TMPDIR (or /tmp)
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path()/name
  std::string file(std::string_view name) const;
  // Creates the folder path()/name (and its parents) and returns its path.
  std::string mkdir(std::string_view name) const;

 private:
  std::string path_;
};

// Writes `bytes` to `path` (created or truncated, mode 0644); throws on failure.
void writeFile(const std::string& path, std::string_view bytes);
// The file's bytes; throws when it cannot be read.
std::string readFile(const std::string& path);
bool exists(const std::string& path);
// The names in the folder `dir`, sorted; none when it cannot be read.
std::vector<std::string> listDir(const std::string& dir);

using Settings = std::vector<std::pair<std::string, std::string>>;

// A DB/C configuration file of `key=value` lines, each ended by a newline.
void writeConfig(const std::string& path, const Settings& settings);
// An environment file as the DB/C runtime reads it: the same `key=value` lines.
inline void writeEnvFile(const std::string& path, const Settings& settings) {
  writeConfig(path, settings);
}

}  // namespace testkit
