#include "common/standard.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dbc {

bool openStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open returns the lowest free number, which is this one: the lower ones are open by now.
    int got = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got != fd) {
      if (got >= 0) close(got);
      return false;
    }
  }
  return true;
}

int finishStandardOutput(const char* program, int status, OutputFailure failure) {
  errno = 0;
  bool lost = std::ferror(stdout) != 0;
  int reason = errno;
  if (std::fflush(stdout) != 0) {
    lost = true;
    reason = errno;
  }
  // The close is where a file system that writes back late (NFS, a full quota) reports it.
  if (close(STDOUT_FILENO) != 0 && errno != EBADF) {
    lost = true;
    reason = errno;
  }
  if (!lost) return status;
  if (reason != 0) {
    std::fprintf(stderr, "%s: write error on standard output: %s\n", program,
                 std::strerror(reason));
  } else {
    std::fprintf(stderr, "%s: write error on standard output\n", program);
  }
  std::fflush(stderr);
  return failure == OutputFailure::kStatus1 ? 1 : status;
}

}  // namespace dbc
