#include "testkit/runner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>

namespace testkit {

std::string binDir() {
  const char* d = std::getenv("DBC_BIN_DIR");
  if (d == nullptr || *d == '\0') throw std::runtime_error("DBC_BIN_DIR is not set");
  return d;
}

std::string binPath(const std::string& program) {
  return program.find('/') != std::string::npos ? program : binDir() + "/" + program;
}

namespace {

double now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace

RunResult run(const Command& r, const Hazards& h) {
  std::string path = binPath(r.program);
  std::vector<std::string> envs;
  bool havePath = false;
  for (const auto& [k, v] : r.env) {
    envs.push_back(k + "=" + v);
    havePath |= k == "PATH";
  }
  if (!havePath) envs.push_back("PATH=" + binDir() + ":/usr/bin:/bin");
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const auto& a : r.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : envs) envp.push_back(e.data());
  envp.push_back(nullptr);

  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) {
    throw std::runtime_error("pipe failed");
  }
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    setpgid(0, 0);  // its own group, so a timeout ends the children it started too
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    if (!h.stdoutFile.empty()) {
      int fd = open(h.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0) _exit(126);
      dup2(fd, 1);
      close(fd);
    }
    for (int fd : h.closed) close(fd);
    if (!r.cwd.empty() && chdir(r.cwd.c_str()) != 0) _exit(126);
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  signal(SIGPIPE, SIG_IGN);

  RunResult res;
  std::size_t inDone = 0;
  int inFd = inPipe[1];
  // A blocking write of all the input would wait for a child that waits for us to read.
  fcntl(inFd, F_SETFL, O_NONBLOCK);
  if (r.in.empty()) close(inFd), inFd = -1;
  int outFd = outPipe[0], errFd = errPipe[0];
  double deadline = now() + r.timeoutSeconds;
  bool killed = false;
  double signalAt = h.signal != 0 ? now() + h.signalAfterSeconds : 0;
  while (outFd >= 0 || errFd >= 0) {
    pollfd fds[3];
    int n = 0;
    if (outFd >= 0) fds[n++] = {outFd, POLLIN, 0};
    if (errFd >= 0) fds[n++] = {errFd, POLLIN, 0};
    if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
    int wait = 200;
    if (signalAt > 0)
      wait = std::max(0, std::min(wait, static_cast<int>((signalAt - now()) * 1000)));
    int rc = poll(fds, n, wait);
    if (rc < 0 && errno != EINTR) break;
    if (signalAt > 0 && now() >= signalAt) {
      kill(h.signalGroup ? -pid : pid, h.signal);
      signalAt = 0;
    }
    if (!killed && now() > deadline) {
      kill(-pid, SIGKILL);
      killed = true;
    }
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      int fd = fds[i].fd;
      if (fd == inFd) {
        ssize_t w = write(fd, r.in.data() + inDone, r.in.size() - inDone);
        if (w > 0) inDone += static_cast<std::size_t>(w);
        if ((w < 0 && errno != EAGAIN && errno != EINTR) || inDone == r.in.size())
          close(inFd), inFd = -1;
        continue;
      }
      char buf[65536];
      ssize_t got = read(fd, buf, sizeof buf);
      if (got > 0) {
        (fd == outFd ? res.out : res.err).append(buf, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fd);
        (fd == outFd ? outFd : errFd) = -1;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  int st = 0;
  while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(st)) res.status = WEXITSTATUS(st);
  if (WIFSIGNALED(st)) res.status = 128 + WTERMSIG(st);
  return res;
}

std::vector<RunResult> runTogether(const std::vector<Command>& commands) {
  std::vector<std::future<RunResult>> started;
  for (const Command& c : commands)
    started.push_back(std::async(std::launch::async, [&c] { return run(c); }));
  std::vector<RunResult> results;
  for (auto& f : started) results.push_back(f.get());
  return results;
}

RunResult run(const std::string& program, const std::vector<std::string>& args) {
  return run(Command{program, args, {}, "", "", 120});
}

}  // namespace testkit
