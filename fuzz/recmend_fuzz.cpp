// recmend's option walk, its position list and its repair runs, on any arguments, list and data.
// The data file and the list are the fuzzer's bytes in memory; -u and -t are dropped so that
// nothing is ever written or started. Invariants: no crash; a run without -u changes no byte of
// the data file.
#include <string>
#include <string_view>
#include <vector>

#include "common/context.hpp"
#include "fuzz/input.hpp"
#include "recmend/run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz::split(data, size);
  const std::string bytes = parts.size() > 1 ? parts[1] : "";
  const std::string list = parts.size() > 2 ? parts[2] : "";
  dbc::Fd file = fuzz::memoryFile(bytes);
  dbc::Fd listFile = fuzz::memoryFile(list);
  std::vector<std::string> words =
      fuzz::split(reinterpret_cast<const std::uint8_t*>(parts[0].data()), parts[0].size(), " ");
  std::vector<std::string> args;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "-u" || w == "-t") continue;
    args.push_back(w);
    if (w == "-d" || w == "-i") {
      args.push_back(fuzz::pathOf(w == "-d" ? file : listFile));
      ++i;
    }
  }
  std::FILE* sink = std::fopen("/dev/null", "w");
  dbc::Context context;
  context.env = [](const char* name) {
    return std::string_view(name) == "QLON_ROOT" ? "/nonexistent" : nullptr;
  };
  context.out = context.err = sink;
  context.shell = [](const std::string&) -> int { __builtin_trap(); };  // -t was dropped
  dbc::recmend::run(args, context);
  std::fclose(sink);
  std::string after(bytes.size(), '\0');
  if (dbc::preadFull(file.get(), after.data(), after.size(), 0) !=
          static_cast<ssize_t>(bytes.size()) ||
      after != bytes)
    __builtin_trap();
  return 0;
}
