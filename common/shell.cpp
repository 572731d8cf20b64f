#include "common/shell.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/signals.hpp"

extern char** environ;

namespace dbc {

std::string shellQuote(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.push_back('\'');
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\'');
  return out;
}

bool isPlainWord(std::string_view s, std::string_view extra) {
  if (s.empty()) return false;
  for (char c : s) {
    bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum && extra.find(c) == std::string_view::npos) return false;
  }
  return true;
}

std::string shellWord(std::string_view s, std::string_view extra) {
  return isPlainWord(s, extra) ? std::string(s) : shellQuote(s);
}

int runShell(const std::string& command) {
  std::fflush(stdout);
  return std::system(command.c_str());
}

int runShellHeld(const std::string& command) {
  std::fflush(stdout);
  sigset_t before;
  sigprocmask(SIG_SETMASK, nullptr, &before);
  SignalsHeld held;
  // Unlike system(), SIGINT is not ignored meanwhile: a ^C waits for the command, then ends us.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setsigmask(&attr, &before);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  char sh[] = "sh", dashC[] = "-c";
  char* argv[] = {sh, dashC, const_cast<char*>(command.c_str()), nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, "/bin/sh", nullptr, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

int exitStatus(int systemResult) {
  if (systemResult == -1) return -1;
  if (WIFEXITED(systemResult)) return WEXITSTATUS(systemResult);
  if (WIFSIGNALED(systemResult)) return 128 + WTERMSIG(systemResult);
  return -1;
}

}  // namespace dbc
