// A program's whole outside world in memory, for unit tests that drive a program's run: an
// environment of its own, captured output and error streams, a shell that records each command
// line and answers as the test says (a fake DBCSORT or DBC), a clock that stands still and sleeps
// that only count.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/context.hpp"
#include "testkit/capture.hpp"

namespace testkit {

class FakeContext {
 public:
  FakeContext() {
    context_.env = [this](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    };
    context_.out = out.file();
    context_.err = err.file();
    context_.shell = [this](const std::string& command) {
      commands.push_back(command);
      return shell(command);
    };
    context_.clock = [this] { return ticks; };
    context_.sleep = [this](unsigned microseconds) { sleeps.push_back(microseconds); };
    context_.pid = 4242;
  }
  FakeContext(const FakeContext&) = delete;
  FakeContext& operator=(const FakeContext&) = delete;

  dbc::Context& context() { return context_; }

  std::map<std::string, std::string> env;
  Capture out, err;
  // What the shell does with a command line; returns what system(3) would. Runs nothing unless
  // the test says so.
  std::function<int(const std::string&)> shell = [](const std::string&) { return 0; };
  std::vector<std::string> commands;
  std::clock_t ticks = 0;
  std::vector<unsigned> sleeps;

 private:
  dbc::Context context_;
};

}  // namespace testkit
