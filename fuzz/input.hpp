// Pieces every fuzz target needs: the fuzzer's bytes split into parts, and a file descriptor
// holding bytes without touching the disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/io.hpp"

namespace fuzz {

// The input cut at every occurrence of `sep` (a byte sequence unlikely in the parts).
inline std::vector<std::string> split(const std::uint8_t* data, std::size_t size,
                                      std::string_view sep = "\n--\n") {
  std::vector<std::string> parts;
  std::string_view all(reinterpret_cast<const char*>(data), size);
  while (true) {
    std::size_t at = all.find(sep);
    parts.emplace_back(all.substr(0, at));
    if (at == std::string_view::npos) break;
    all.remove_prefix(at + sep.size());
  }
  return parts;
}

// An anonymous in-memory file holding `bytes`, positioned at its start.
inline dbc::Fd memoryFile(std::string_view bytes) {
  dbc::Fd fd(::memfd_create("fuzz", 0));
  if (fd && !bytes.empty()) dbc::writeFull(fd.get(), bytes);
  if (fd) ::lseek(fd.get(), 0, SEEK_SET);
  return fd;
}

// A path naming that file, for code that opens by name.
inline std::string pathOf(const dbc::Fd& fd) { return "/proc/self/fd/" + std::to_string(fd.get()); }

// The programs' reports go to standard output; a fuzzer has no use for them.
inline void quietStdout() {
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

}  // namespace fuzz
