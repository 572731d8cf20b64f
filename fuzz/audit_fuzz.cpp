// jrnmake's walk, jrnjoin's and jrnpick's line parsing and their runs on any lists and data.
// Invariants: no crash; every way of hashing and searching a data file gives the plain way's
// list; a line that jrnjoin reads in one look reads the same with sscanf; runs of lines alike in
// two lists end where the byte-at-a-time way ends them; a list joined with itself has no
// changes; the change list's lines are each a code digit and a number; jrnpick's output ends with
// the end-of-file mark, which occurs nowhere else, and holds one record per change line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "audit/checksum.hpp"
#include "audit/lists.hpp"
#include "audit/merge.hpp"
#include "audit/output.hpp"
#include "audit/pick.hpp"
#include "audit/plainline.hpp"
#include "audit/reader.hpp"
#include "fuzz/input.hpp"

namespace {

std::string listOf(const std::string& file, dbc::audit::SpanHasher span,
                   dbc::audit::ChecksumLinesWriter write) {
  dbc::audit::Output out;
  dbc::audit::ChecksumMaker maker(out, span, write);
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  const std::size_t block = 1 + file.size() % 977;  // boundaries anywhere
  for (std::size_t at = 0; at < file.size(); at += block)
    maker.processBlock(bytes + at, std::min(block, file.size() - at));
  return out.text();
}

void checkChecksumWays(const std::string& file) {
  using namespace dbc::audit;
  const std::string plain = listOf(file, hashSpanScalar, writeChecksumLinesScalar);
  if (listOf(file, bestSpanHasher(), bestChecksumLinesWriter()) != plain) __builtin_trap();
#if defined(DBC_X86_VECTORS)
  if (listOf(file, hashSpanSse2, writeChecksumLinesSse2) != plain) __builtin_trap();
#endif
}

void checkPlainLines(const std::string& list) {
  for (std::size_t at = 0; at < list.size();) {
    std::string padded = list.substr(at, 40) + std::string(dbc::audit::kPlainLineRoom, '\n');
    std::int64_t pos = 0;
    dbc::audit::ChecksumText text;
    std::size_t used = 0;
    if (dbc::audit::scanPlainLine(padded.data(), pos, text, used)) {
      long long a = 0, b = 0;
      if (std::sscanf(padded.substr(0, used).c_str(), "%lld %lld", &a, &b) != 2 || a != pos ||
          text != dbc::audit::checksumText(b))
        __builtin_trap();
    }
    std::size_t lf = list.find('\n', at);
    at = lf == std::string::npos ? list.size() : lf + 1;
  }
}

// The second list is the first with the other part laid over it somewhere, so that the two are
// alike up to a point.
void checkAlikeLines(const std::string& first, const std::string& other) {
  std::string second = first;
  if (!first.empty()) second.replace(other.size() % first.size(), other.size(), other);
  const std::size_t n = std::min(first.size(), second.size());
  std::string a = first + std::string(dbc::audit::kPlainLineRoom, '\n');
  std::string b = second + std::string(dbc::audit::kPlainLineRoom, '\n');
  std::size_t lines[2], last[2];
  if (dbc::audit::alikeLines(a.data(), b.data(), n, lines[0], last[0]) !=
          dbc::audit::alikeLinesScalar(a.data(), b.data(), n, lines[1], last[1]) ||
      lines[0] != lines[1] || last[0] != last[1])
    __builtin_trap();
}

std::string join(const std::string& first, const std::string& second) {
  const dbc::audit::Failure failure{"fuzz", stdout, stderr};
  dbc::Fd a = fuzz::memoryFile(first);
  dbc::Fd b = fuzz::memoryFile(second);
  dbc::audit::LineReader one(a.get(), "a", failure);
  dbc::audit::LineReader two(b.get(), "b", failure);
  dbc::audit::Output joined;
  dbc::audit::Joiner(one, two, joined).run();
  return joined.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz::split(data, size);
  while (parts.size() < 3) parts.emplace_back();
  checkChecksumWays(parts[2]);
  checkPlainLines(parts[0]);
  checkAlikeLines(parts[0], parts[1]);
  if (!join(parts[0], parts[0]).empty()) __builtin_trap();

  const std::string changes = join(parts[0], parts[1]);
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

  const dbc::audit::Failure failure{"fuzz", stdout, stderr};
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
