// The commands the checks start (the definition look-up's grep, DBCSORT), each through /bin/sh in
// a process group of its own, so that a sweep that is told to stop can stop every one of them
// and whatever they started in turn.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace dbc::sweep {

class Children {
 public:
  // Runs `command` through /bin/sh with the process's environment, each "NAME=value" of
  // `overrides` in place of the variable of that name, standard input, output and error on
  // /dev/null, the three stop signals unblocked and at their defaults. Returns what system(3)
  // would; -1 when it cannot be started or the sweep is stopping.
  int run(const std::string& command, const std::vector<std::string>& overrides);

  // From now on nothing starts; every running command's group gets `sig`.
  void stopAll(int sig);
  // Whether a command is still running.
  bool busy();

 private:
  std::mutex mutex_;
  std::set<pid_t> groups_;
  bool stopping_ = false;
};

// The process's environment with `overrides` put in.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides);

}  // namespace dbc::sweep
