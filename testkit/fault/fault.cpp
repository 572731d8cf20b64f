// A preloaded library that makes one chosen I/O call fail, so tests can prove that a program
// reports a failed write, read, rename or fsync and loses nothing. Chosen by the environment:
//   DBC_FAULT_OP     write, read, rename or fsync (write covers write and pwrite, read covers
//                    read and pread)
//   DBC_FAULT_NTH    the N-th such call fails (1 = the first); with DBC_FAULT_REPEAT=1, every
//                    call from the N-th on fails
//   DBC_FAULT_ERRNO  ENOSPC (default) or EIO
//   DBC_FAULT_SLOW_US  when above 0, the chosen calls do not fail: each waits that many
//                    microseconds and then runs, as on a slow disk (to widen a moment a test
//                    must hit)
//   DBC_FAULT_PROGRAM  when set, only the program of this file name counts and fails calls; the
//                    programs it starts (a shell, a sort) run unharmed
// Calls on standard input, output and error are not counted, so a program's messages still
// reach the test. Writes made by stdio streams go through libc's internal calls and are not seen:
// a writer that must be tested this way writes through common/io. Being preloaded into one process,
// the call count is necessarily process state.
#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum class Op { kNone, kWrite, kRead, kRename, kFsync };

struct Plan {
  Op op = Op::kNone;
  long nth = 0;
  bool repeat = false;
  int err = ENOSPC;
  long slowMicros = 0;
  long seen = 0;
};

Plan& plan() {
  static Plan p = [] {
    Plan q;
    const char* op = std::getenv("DBC_FAULT_OP");
    const char* nth = std::getenv("DBC_FAULT_NTH");
    if (op == nullptr || nth == nullptr) return q;
    const char* only = std::getenv("DBC_FAULT_PROGRAM");
    if (only != nullptr && *only != '\0' && std::strcmp(only, program_invocation_short_name) != 0)
      return q;
    if (!std::strcmp(op, "write")) q.op = Op::kWrite;
    if (!std::strcmp(op, "read")) q.op = Op::kRead;
    if (!std::strcmp(op, "rename")) q.op = Op::kRename;
    if (!std::strcmp(op, "fsync")) q.op = Op::kFsync;
    q.nth = std::atol(nth);
    const char* rep = std::getenv("DBC_FAULT_REPEAT");
    q.repeat = rep != nullptr && !std::strcmp(rep, "1");
    const char* e = std::getenv("DBC_FAULT_ERRNO");
    if (e != nullptr && !std::strcmp(e, "EIO")) q.err = EIO;
    if (const char* slow = std::getenv("DBC_FAULT_SLOW_US")) q.slowMicros = std::atol(slow);
    return q;
  }();
  return p;
}

// True when this call is the one (or one of those) chosen to fail; errno is then set.
bool fails(Op op, int fd) {
  Plan& p = plan();
  if (p.op != op || fd <= 2) return false;
  ++p.seen;
  if (p.seen == p.nth || (p.repeat && p.seen > p.nth)) {
    if (p.slowMicros > 0) {
      usleep(static_cast<useconds_t>(p.slowMicros));
      return false;
    }
    errno = p.err;
    return true;
  }
  return false;
}

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t n) {
  static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
  return fails(Op::kWrite, fd) ? -1 : real(fd, buf, n);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t off) {
  static auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  return fails(Op::kWrite, fd) ? -1 : real(fd, buf, n, off);
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off_t off) { return pwrite(fd, buf, n, off); }

ssize_t read(int fd, void* buf, size_t n) {
  static auto real = next<ssize_t (*)(int, void*, size_t)>("read");
  return fails(Op::kRead, fd) ? -1 : real(fd, buf, n);
}

ssize_t pread(int fd, void* buf, size_t n, off_t off) {
  static auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
  return fails(Op::kRead, fd) ? -1 : real(fd, buf, n, off);
}

ssize_t pread64(int fd, void* buf, size_t n, off_t off) { return pread(fd, buf, n, off); }

int rename(const char* from, const char* to) {
  static auto real = next<int (*)(const char*, const char*)>("rename");
  return fails(Op::kRename, 3) ? -1 : real(from, to);
}

int fsync(int fd) {
  static auto real = next<int (*)(int)>("fsync");
  return fails(Op::kFsync, fd) ? -1 : real(fd);
}

int fdatasync(int fd) {
  static auto real = next<int (*)(int)>("fdatasync");
  return fails(Op::kFsync, fd) ? -1 : real(fd);
}

}  // extern "C"
