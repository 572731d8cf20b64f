// recscan's block scans under every fix mode, with and without the invalid-character switch and
// the estimate, on the fuzzer's bytes cut into blocks. Invariants: no crash; a repair changes
// only the bytes its mode names, into the byte its mode gives; the fast path over ordinary bytes
// (with each engine) gives the same counts, state and repaired bytes as the per-byte rules.
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
  // Small blocks carry state across boundaries; large ones let the runs of whole chunks go on.
  const unsigned sizes = data[1] % 64;
  const std::size_t block = sizes < 32 ? 1 + sizes : 64 * (sizes - 31);
  // The fast path's engine: plain C++, SSE2 or AVX2, where the processor runs it.
  auto engine = static_cast<dbc::recscan::Engine>(data[1] / 64 % 3);
  if (!dbc::recscan::engineRuns(engine)) engine = dbc::recscan::Engine::kPlain;
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
      s.setEngine(engine);
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
    const dbc::recscan::Scanner &a = scanners[0], &b = scanners[1];
    if (a.reccnt != b.reccnt || a.errcnt != b.errcnt || a.chksum != b.chksum ||
        a.recsiz != b.recsiz || a.recpos != b.recpos || a.minsiz != b.minsiz ||
        a.maxsiz != b.maxsiz || a.fstsiz != b.fstsiz || a.recsiz2 != b.recsiz2 ||
        a.offset != b.offset || a.filsiz2 != b.filsiz2 || a.spcflg2 != b.spcflg2 ||
        a.spccnt2 != b.spccnt2 || a.crlf != b.crlf || a.prvchr != b.prvchr)
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
