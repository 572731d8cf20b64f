#include "common/shell.hpp"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

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

int exitStatus(int systemResult) {
  if (systemResult == -1) return -1;
  if (WIFEXITED(systemResult)) return WEXITSTATUS(systemResult);
  if (WIFSIGNALED(systemResult)) return 128 + WTERMSIG(systemResult);
  return -1;
}

}  // namespace dbc
