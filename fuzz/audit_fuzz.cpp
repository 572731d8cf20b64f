// jrnjoin's and jrnpick's line parsing and their runs on any lists and data. Invariants: no
// crash; the change list's lines are each a code digit and a number; jrnpick's output ends with
// the end-of-file mark, which occurs nowhere else, and holds one record per change line.
#include <algorithm>
#include <cstring>
#include <string>

#include "audit/lists.hpp"
#include "audit/merge.hpp"
#include "audit/output.hpp"
#include "audit/pick.hpp"
#include "audit/reader.hpp"
#include "fuzz/input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz::split(data, size);
  while (parts.size() < 3) parts.emplace_back();

  const dbc::audit::Failure failure{"fuzz", stdout, stderr};
  dbc::Fd a = fuzz::memoryFile(parts[0]);
  dbc::Fd b = fuzz::memoryFile(parts[1]);
  dbc::audit::LineReader first(a.get(), "a", failure);
  dbc::audit::LineReader second(b.get(), "b", failure);
  dbc::audit::Output joined;
  dbc::audit::Joiner(first, second, joined).run();
  const std::string changes = joined.text();
  std::size_t lines = 0;
  for (std::size_t at = 0; at < changes.size(); ++lines) {
    std::size_t end = changes.find('\n', at);
    if (end == std::string::npos || end == at || !std::strchr("1234", changes[at]))
      __builtin_trap();
    std::int64_t pos;
    if (dbc::audit::scanPosition(std::string_view(changes).substr(at + 1, end - at), pos) != 1)
      __builtin_trap();
    at = end + 1;
  }

  // The change list jrnpick reads is the fuzzer's own, so odd lines reach it too.
  dbc::Fd list = fuzz::memoryFile(parts[0]);
  dbc::Fd file = fuzz::memoryFile(parts[2]);
  dbc::audit::LineReader mrg(list.get(), "list", failure);
  dbc::audit::BlockReader txt(file.get(), "data", failure);
  const std::int64_t recsiz = parts[1].empty() ? 0 : static_cast<unsigned char>(parts[1][0]) * 97;
  dbc::audit::Output picked;
  dbc::audit::Picker(mrg, txt, recsiz, picked).run();
  const std::string& out = picked.text();
  if (out.empty() || out.back() != '\xFB') __builtin_trap();
  // Change lines are copied as they stand, so only a list without the mark proves the rest.
  if (parts[0].find('\xFB') == std::string::npos && std::count(out.begin(), out.end(), '\xFB') != 1)
    __builtin_trap();
  (void)lines;
  return 0;
}
