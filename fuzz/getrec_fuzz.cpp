// The data file record reader (getrec) on any data, with any key segments and record size,
// collating sequence and invalid-character switch. Invariants: no crash; every record it hands
// back has a key of exactly the key size.
#include <string>

#include "common/stop.hpp"
#include "fuzz/input.hpp"
#include "ixmark/collate.hpp"
#include "ixmark/isam.hpp"
#include "ixmark/record.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz::split(data, size);
  if (parts.size() < 2 || parts[0].size() < 2) return 0;
  const unsigned char flags = static_cast<unsigned char>(parts[0][0]);
  dbc::ixmark::IndexHeader h;
  h.recsiz = (flags & 1) != 0 ? static_cast<unsigned char>(parts[0][1]) : 0;
  if (!dbc::ixmark::parseSegments(parts[0].substr(2), h) || h.keysiz <= 0 ||
      h.keysiz > dbc::ixmark::kMaxKeySize)
    return 0;
  const std::string& bytes = parts[1];
  dbc::Fd fd = fuzz::memoryFile(bytes);
  dbc::ixmark::Collate table =
      (flags & 2) != 0 ? dbc::ixmark::Collate("32:126;65:48") : dbc::ixmark::Collate();
  int eofchr = bytes.empty() ? -1 : static_cast<unsigned char>(bytes.back());
  std::uint64_t eofpos = bytes.empty() ? ~std::uint64_t{0} : bytes.size() - 1;
  dbc::ixmark::RecordReader r(fd.get(), eofpos, eofchr, h, (flags & 4) != 0, table, false, stdout);
  try {
    while (r.getrec() >= 0) {
      if (static_cast<int>(r.keyval.size()) != h.keysiz) __builtin_trap();
    }
  } catch (const dbc::Stop&) {
  }
  return 0;
}
