// recscan's block scans under every fix mode, with and without the invalid-character switch and
// the estimate, on the fuzzer's bytes cut into blocks. Invariants: no crash; a repair changes
// only the bytes its mode names, into the byte its mode gives; the fast path over ordinary bytes
// gives the same counts and the same repaired bytes as the per-byte rules.
#include <cstring>
#include <string>

#include "fuzz/input.hpp"
#include "recscan/scan.hpp"

namespace {

// `before` is the byte as read before this one (-1 at the start): fix mode 3 turns a record mark
// after a NUL or deleted space into deleted space too.
bool allowed(int mode, unsigned char from, unsigned char to, int before) {
  if (mode == 3 && from == 0xFA && to == 0xFF && (before == 0x00 || before == 0xFF)) return true;
  switch (mode) {
    case 1:
      return from < 0x20 && to == 0x20;
    case 2:
      return from == 0x00 && to == 0x20;
    case 3:
      return from == 0x00 && to == 0xFF;
    case 4:
      return from >= 0x80 && from <= 0xF8 && to == 0x20;
    case 5:
      return from == 0xFF && to == 0x20;
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const unsigned char flags = data[0];
  const std::size_t block = 1 + data[1] % 64;  // small blocks carry state across boundaries
  std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (int mode = 0; mode <= 5; ++mode) {
    dbc::recscan::Settings set;
    set.fixflg = static_cast<dbc::recscan::FixMode>(mode);
    set.dbgflg = (flags & 1) != 0;
    set.cmpflg = (flags & 2) != 0;
    set.ichflg = (flags & 4) != 0;
    set.dmf.cmpflg1 = static_cast<dbc::recscan::Compression>((flags >> 3) % 3 - 1);
    set.dmf.dmflen = (flags >> 5);
    std::string out[2];
    dbc::recscan::Scanner scanners[2] = {dbc::recscan::Scanner(set, sink),
                                         dbc::recscan::Scanner(set, sink)};
    for (int fast = 0; fast < 2; ++fast) {
      dbc::recscan::Scanner& s = scanners[fast];
      s.setFastPath(fast == 1);
      out[fast] = bytes;
      for (std::size_t at = 0; at < out[fast].size(); at += block) {
        std::size_t n = std::min(block, out[fast].size() - at);
        auto* p = reinterpret_cast<unsigned char*>(&out[fast][at]);
        if ((flags & 0x80) != 0) {
          s.processBuffer2(p, n, static_cast<std::int64_t>(at));
        } else {
          s.processBuffer(p, n, static_cast<std::int64_t>(at));
        }
      }
    }
    if (out[0] != out[1]) __builtin_trap();
    if (scanners[0].reccnt != scanners[1].reccnt || scanners[0].errcnt != scanners[1].errcnt ||
        scanners[0].chksum != scanners[1].chksum)
      __builtin_trap();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      auto from = static_cast<unsigned char>(bytes[i]);
      auto to = static_cast<unsigned char>(out[0][i]);
      int before = i > 0 ? static_cast<unsigned char>(bytes[i - 1]) : -1;
      if (from != to && !allowed(mode, from, to, before)) __builtin_trap();
    }
  }
  std::fclose(sink);
  return 0;
}
