#include "platform/dbcsort/output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/temp.hpp"

namespace dbc::dbcsort {

namespace {

[[noreturn]] void failOutput(const char* what, const std::string& path) {
  fail(1, "DBCSORT: cannot %s output file %s: %s\n", what, path.c_str(), std::strerror(errno));
}

}  // namespace

std::string folderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

SortedOutput::SortedOutput(std::string path) : path_(std::move(path)) {
  struct stat st;
  const bool exists = ::lstat(path_.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // Not truncated here: the input may be this very file (through a link), and it is read
    // whole before the first byte of output is written; commit() cuts what is left over.
    fd_ = dbc::openFile(path_, O_WRONLY | O_NOCTTY);
    if (!fd_) failOutput("open", path_);
    return;
  }
  const std::size_t slash = path_.rfind('/');
  temp_ =
      tempPattern(folderOf(path_), slash == std::string::npos ? path_ : path_.substr(slash + 1));
  fd_ = createTemp(temp_, onSignal_);
  if (!fd_) failOutput("create", path_);
  // A replaced file keeps its permissions; a new one gets those of any new file.
  mode_t mode = st.st_mode & 07777;
  if (!exists) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd_.get(), mode);
}

SortedOutput::~SortedOutput() {
  if (!committed_ && !temp_.empty()) {
    fd_.reset();
    ::unlink(temp_.c_str());
  }
}

void SortedOutput::commit() {
  if (temp_.empty()) {
    struct stat st;
    if (::fstat(fd_.get(), &st) == 0 && S_ISREG(st.st_mode)) {
      off_t end = ::lseek(fd_.get(), 0, SEEK_CUR);
      if (end < 0 || ::ftruncate(fd_.get(), end) != 0) failOutput("write", path_);
    }
    if (!fd_.close()) failOutput("write", path_);
    committed_ = true;
    return;
  }
  // Synced before the rename, so that after a crash the name holds the old file or the new one,
  // whole, and never a new name with blocks still unwritten.
  if (::fsync(fd_.get()) != 0) failOutput("write", path_);
  if (!fd_.close()) failOutput("write", path_);
  // The rename and the end of the temporary name's removal on a signal are one step: a signal
  // that comes meanwhile takes effect once the output is in place.
  dbc::SignalsHeld held;
  if (::rename(temp_.c_str(), path_.c_str()) != 0) failOutput("replace", path_);
  onSignal_.release();
  committed_ = true;
}

}  // namespace dbc::dbcsort
