#include "sweep/children.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace dbc::sweep {

namespace {

std::string nameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// Attributes of a child: a group of its own, the stop signals as a fresh process has them.
struct SpawnAttr {
  SpawnAttr() {
    posix_spawnattr_init(&attr);
    sigset_t none, stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGPIPE}) sigaddset(&stops, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &stops);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_init(&files);
    for (int fd : {0, 1, 2}) {
      posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
  }
  ~SpawnAttr() {
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
  }
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t files;
};

}  // namespace

std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& o : overrides) replaced = replaced || nameOf(o) == nameOf(entry);
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), overrides.begin(), overrides.end());
  return env;
}

int Children::run(const std::string& command, const std::vector<std::string>& overrides) {
  std::vector<std::string> env = environmentWith(overrides);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char sh[] = "sh", dashC[] = "-c";
  char* argv[] = {sh, dashC, const_cast<char*>(command.c_str()), nullptr};
  SpawnAttr spawn;
  pid_t pid;
  {
    // Started and noted in one step, so that a stop never misses a child.
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return -1;
    if (posix_spawn(&pid, "/bin/sh", &spawn.files, &spawn.attr, argv, envp.data()) != 0) return -1;
    groups_.insert(pid);
  }
  int status = 0;
  pid_t got;
  while ((got = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  std::lock_guard<std::mutex> lock(mutex_);
  groups_.erase(pid);
  return got == pid ? status : -1;
}

void Children::stopAll(int sig) {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  for (pid_t group : groups_) ::kill(-group, sig);
}

bool Children::busy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !groups_.empty();
}

}  // namespace dbc::sweep
