#include "sweep/workarea.hpp"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace dbc::sweep {

namespace {

int removeOne(const char* path, const struct stat*, int type, struct FTW*) {
  if (type == FTW_DP) {
    ::rmdir(path);
  } else {
    ::unlink(path);
  }
  return 0;
}

}  // namespace

std::string workVolume(const Config& config, const EnvLookup& env) {
  std::string wrk = config.getenv2("NDXPROBE_WRK");
  if (wrk.empty()) {
    ListWalk walk;
    wrk = walk.parse(config.getenv2("dbcdx.file.vol.wrk=").c_str());
  }
  if (wrk.empty()) {
    const char* tmp = env("TMPDIR");
    wrk = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  return wrk;
}

void removeTree(const std::string& path) {
  if (path.empty()) return;
  ::nftw(path.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

std::optional<WorkArea> WorkArea::create(const std::string& volume, std::string& error) {
  std::string pattern = volume + (volume.empty() || volume.back() != '/' ? "/" : "");
  pattern += "dbcsweep." + std::to_string(::getpid()) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) {
    error = "cannot make a work folder in " + volume + ": " + std::strerror(errno);
    return std::nullopt;
  }
  return WorkArea(name.data());
}

WorkArea& WorkArea::operator=(WorkArea&& o) noexcept {
  if (this != &o) {
    removeTree(root_);
    root_ = std::move(o.root_);
    o.root_.clear();
  }
  return *this;
}

WorkArea::~WorkArea() { removeTree(root_); }

std::string WorkArea::jobFolder(std::size_t n) const {
  std::string path = root_ + "/" + std::to_string(n);
  if (::mkdir(path.c_str(), 0700) != 0) return {};
  return path;
}

}  // namespace dbc::sweep
