#include "platform/dbcsort/temp.hpp"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace dbc::dbcsort {

namespace {

constexpr std::string_view kSuffix = ".XXXXXX";

int makeTemp(std::string& pattern) {
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) pattern = name.data();
  return fd;
}

}  // namespace

std::string tempPattern(const std::string& folder, std::string_view stem) {
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  long nameMax = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  std::size_t room = nameMax > 0 ? static_cast<std::size_t>(nameMax) : NAME_MAX;
  const std::size_t pathMax = PATH_MAX - 1;  // the terminating zero byte counts in PATH_MAX
  room = std::min(room, pathMax > prefix.size() ? pathMax - prefix.size() : 0);
  room = room > kSuffix.size() ? room - kSuffix.size() : 0;
  return prefix + std::string(stem.substr(0, room)) + std::string(kSuffix);
}

dbc::Fd createTemp(std::string& pattern, dbc::RemoveOnSignal& onSignal) {
  dbc::SignalsHeld held;
  int fd = makeTemp(pattern);
  if (fd >= 0) onSignal = dbc::RemoveOnSignal(pattern);
  return dbc::Fd(fd);
}

dbc::Fd createUnnamed(std::string pattern) {
  dbc::SignalsHeld held;
  int fd = makeTemp(pattern);
  if (fd >= 0) ::unlink(pattern.c_str());
  return dbc::Fd(fd);
}

}  // namespace dbc::dbcsort
