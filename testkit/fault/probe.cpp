// A program for testing the fault injector itself: writes a file in chunks, fsyncs it, reads it
// back and renames it, printing the first call that failed and its error.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string path = argv[1];
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return 2;
  char buf[1000];
  std::memset(buf, 'x', sizeof buf);
  for (int i = 0; i < 10; ++i) {
    if (write(fd, buf, sizeof buf) != static_cast<ssize_t>(sizeof buf)) {
      std::printf("write %d: %s\n", i + 1, std::strerror(errno));
      return 1;
    }
  }
  if (fsync(fd) != 0) return std::printf("fsync: %s\n", std::strerror(errno)), 1;
  if (pread(fd, buf, sizeof buf, 0) < 0) return std::printf("pread: %s\n", std::strerror(errno)), 1;
  if (rename(path.c_str(), (path + ".new").c_str()) != 0) {
    return std::printf("rename: %s\n", std::strerror(errno)), 1;
  }
  std::printf("ok\n");
  return 0;
}
