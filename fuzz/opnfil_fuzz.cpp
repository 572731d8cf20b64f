// opnfil's splitting of a DB/C name (directory, extension, volume) and its walk along the
// configured search path and volumes, in every combination of the variants' switches but read
// only, so that a fuzzed name can never be opened for writing. Invariant: no crash.
#include <string>

#include "common/opnfil.hpp"
#include "fuzz/input.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz::split(data, size);
  const std::string name = parts[0];
  const std::string ext = parts.size() > 1 ? parts[1].substr(0, 8) : "TXT";
  const std::string cfg = parts.size() > 2 ? parts[2] : "dbcdx.file.open=/nonexistent;.\n";
  dbc::Fd file = fuzz::memoryFile(cfg);
  const std::string path = fuzz::pathOf(file);
  for (int bits = 0; bits < 8; ++bits) {
    const dbc::OpnfilVariant v{(bits & 1) != 0, false, (bits & 2) != 0, (bits & 4) != 0};
    dbc::Config config(dbc::kDbcConfig, [&](const char* n) -> const char* {
      return std::string(n) == "DBC_CFG" ? path.c_str() : nullptr;
    });
    dbc::Opened o = dbc::opnfil(name, ext, v, config);
    (void)o;
  }
  return 0;
}
