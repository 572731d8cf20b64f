#include "testkit/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "common/io.hpp"

namespace testkit {

TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/dbctest.XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only files and folders behind; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string TempDir::mkdir(std::string_view name) const {
  std::string p = file(name);
  std::filesystem::create_directories(p);
  return p;
}

void writeFile(const std::string& path, std::string_view bytes) {
  dbc::Fd fd = dbc::openFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!fd || !dbc::writeFull(fd.get(), bytes) || !fd.close()) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string readFile(const std::string& path) {
  std::string out;
  if (!dbc::readWholeFile(path, out)) throw std::runtime_error("cannot read " + path);
  return out;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

void writeConfig(const std::string& path, const Settings& settings) {
  std::string text;
  for (const auto& [key, value] : settings) text += key + "=" + value + "\n";
  writeFile(path, text);
}

std::vector<std::string> listDir(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    names.push_back(e.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testkit
