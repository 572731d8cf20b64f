#include "sweep/discover.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "common/format.hpp"
#include "common/io.hpp"

namespace dbc::sweep {

namespace {

constexpr std::string_view kVolumePrefix = "dbcdx.file.vol.";

// The volume named by a "dbcdx.file.vol.NAME=..." entry or line, else nothing.
void addVolume(std::string_view entry, std::vector<std::string>& names) {
  std::size_t i = entry.find_first_not_of(' ');
  if (i == std::string_view::npos) return;
  entry.remove_prefix(i);
  if (entry.substr(0, kVolumePrefix.size()) != kVolumePrefix) return;
  std::string name(entry.substr(kVolumePrefix.size(), entry.find('=') - kVolumePrefix.size()));
  if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
    names.push_back(std::move(name));
  }
}

std::vector<std::string> volumeNames(const EnvLookup& env,
                                     const std::vector<std::string>& environment) {
  std::vector<std::string> names;
  const char* cfg = env("DBC_CFG");
  if (std::FILE* f = cfg != nullptr ? std::fopen(cfg, "r") : nullptr) {
    char line[kLineMax + 1];
    while (!std::feof(f) && !std::ferror(f)) {
      line[0] = '\0';
      getlin2(f, line);
      addVolume(line, names);
    }
    std::fclose(f);
  }
  for (const std::string& e : environment) addVolume(e, names);
  return names;
}

void addList(const std::string& list, std::vector<std::string>& folders) {
  ListWalk walk;
  for (const std::string* e = &walk.parse(list.c_str()); !e->empty(); e = &walk.parse(nullptr)) {
    folders.push_back(*e);
  }
}

bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() > tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// A data file by its last byte. False when it cannot be told, `problem` then says why.
bool lastByteIsEof(const std::string& path, std::int64_t& size, std::string& problem) {
  // Never blocks on a FIFO that got through the name test's race.
  Fd fd = openFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
    problem = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    problem = "not a regular file";
    return false;
  }
  size = st.st_size;
  unsigned char last = 0;
  if (size > 0 && preadFull(fd.get(), &last, 1, size - 1) != 1) {
    problem = std::strerror(errno);
    return false;
  }
  return size > 0 && last == kEofMark;
}

// One entry of the folder, a target or nothing.
void classify(const std::string& path, const std::string& name, Only only,
              std::vector<Target>& targets) {
  const bool index = endsWith(name, ".ISI");
  const bool text = endsWith(name, ".TXT");
  if ((index && only == Only::kData) || (!index && only == Only::kIndexes)) return;
  struct stat st;
  const bool statted = ::stat(path.c_str(), &st) == 0;
  if (statted && S_ISDIR(st.st_mode)) return;
  Target t{path, index ? Kind::kIndex : Kind::kData, statted ? st.st_size : 0, ""};
  if (!statted) {
    t.problem = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    t.problem = "not a regular file";
  } else if (index) {
    if (::access(path.c_str(), R_OK) != 0) t.problem = std::strerror(errno);
  } else if (!lastByteIsEof(path, t.size, t.problem) && !text) {
    return;  // not a data file, or one we cannot tell: no business of ours
  }
  if (index || text || t.problem.empty()) targets.push_back(std::move(t));
}

}  // namespace

std::vector<std::string> configuredFolders(const Config& config, const EnvLookup& env,
                                           const std::vector<std::string>& environment) {
  std::vector<std::string> folders;
  addList(config.getenv2("dbcdx.file.open"), folders);
  for (const std::string& name : volumeNames(env, environment)) {
    // As opnfil looks a volume up (the exact key, so the '='); no variable of the environment can
    // be named so, and one named without it is the volume's there.
    const std::string key = std::string(kVolumePrefix) + name;
    std::string list = config.getenv2(key + "=");
    if (list.empty()) {
      const char* v = env(key.c_str());
      list = v != nullptr ? v : "";
    }
    addList(list, folders);
  }
  return distinctFolders(folders);
}

std::vector<std::string> distinctFolders(const std::vector<std::string>& folders) {
  std::vector<std::string> out;
  std::set<std::pair<dev_t, ino_t>> seen;
  std::set<std::string> names;
  for (const std::string& f : folders) {
    struct stat st;
    if (::stat(f.c_str(), &st) == 0) {
      if (!seen.insert({st.st_dev, st.st_ino}).second) continue;
    } else if (!names.insert(f).second) {
      continue;
    }
    out.push_back(f);
  }
  return out;
}

bool filesIn(const std::string& folder, Only only, std::vector<Target>& targets,
             std::string& error) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  errno = 0;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") classify(prefix + name, name, only, targets);
    errno = 0;
  }
  const int readError = errno;
  ::closedir(dir);
  if (readError != 0) {
    error = std::strerror(readError);
    return false;
  }
  return true;
}

}  // namespace dbc::sweep
