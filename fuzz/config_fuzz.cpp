// The configuration file reader and getenv2's key matching, on any file and any key, and the
// list walk that splits search paths. Invariant: no crash; a value never holds a line end.
#include <cstdio>
#include <string>

#include "common/config.hpp"
#include "fuzz/input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz::split(data, size);
  const std::string key = parts.size() > 1 ? parts[1] : "dbcdx.file.open";
  dbc::Fd file = fuzz::memoryFile(parts[0]);
  const std::string path = fuzz::pathOf(file);
  for (dbc::ConfigVariant variant : {dbc::kRecscanConfig, dbc::kDbcConfig}) {
    dbc::Config config(variant, [&](const char* name) -> const char* {
      return std::string(name) == "DBC_CFG" ? path.c_str() : nullptr;
    });
    std::string value = config.getenv2(key);
    if (value.find('\n') != std::string::npos) __builtin_trap();
    dbc::ListWalk walk;
    const char* list = value.c_str();
    for (std::size_t i = 0; i <= value.size() && !walk.parse(list).empty(); ++i) list = nullptr;
  }
  std::FILE* stream = fmemopen(const_cast<char*>(parts[0].data()), parts[0].size(), "r");
  if (stream) {
    char line[dbc::kLineMax + 1];
    for (int i = 0; i < 4096 && !std::feof(stream); ++i) dbc::getlin2(stream, line);
    std::fclose(stream);
  }
  return 0;
}
