#include "platform/dbcsort/output.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/stop.hpp"

namespace dbcsort {

namespace {

[[noreturn]] void fail(const char* what, const std::string& path) {
  std::fprintf(stderr, "DBCSORT: cannot %s output file %s: %s\n", what, path.c_str(),
               std::strerror(errno));
  throw dbc::Stop{1};
}

}  // namespace

std::string folderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

AtomicOutput::AtomicOutput(std::string path) : path_(std::move(path)) {
  std::string pattern = path_ + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) fail("create", path_);
  fd_.reset(fd);
  temp_ = name.data();
  // mkstemp makes the file private; the sorted file gets the usual mode of a new file.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
}

AtomicOutput::~AtomicOutput() {
  if (!committed_) {
    fd_.reset();
    ::unlink(temp_.c_str());
  }
}

void AtomicOutput::commit() {
  if (!fd_.close()) fail("write", path_);
  if (::rename(temp_.c_str(), path_.c_str()) != 0) fail("replace", path_);
  committed_ = true;
}

}  // namespace dbcsort
