// dbtidy's option parser and its formatter on any options and any source, read through its own
// line reader. Invariant: no crash (a formatted line may hold a line end: a label then stands on
// a line of its own).
#include <string>
#include <vector>

#include "common/stop.hpp"
#include "dbtidy/formatter.hpp"
#include "dbtidy/lineio.hpp"
#include "dbtidy/options.hpp"
#include "fuzz/input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz::split(data, size);
  const std::string source = parts.size() > 1 ? parts[1] : parts[0];
  std::FILE* sink = std::fopen("/dev/null", "w");
  dbc::dbtidy::Settings s;
  std::vector<std::string> xargv{"dbtidy", "IN.TXT"};
  if (parts.size() > 1)
    for (std::string& w : dbc::dbtidy::splitOpts(parts[0])) xargv.push_back(std::move(w));
  try {
    dbc::dbtidy::getopts(xargv, s, sink);
  } catch (const dbc::Stop&) {
  }
  if (s.tabstop == -1) s.tabstop = s.ininc;
  // Options parse into any value; the formatter is run only with what a run would accept.
  if (s.ininc < 0 || s.ininc > 64 || s.tabstop < 1 || s.tabstop > 64 || s.ntabs < 0 ||
      s.ntabs > 64) {
    std::fclose(sink);
    return 0;
  }
  dbc::dbtidy::Counters counters;
  dbc::dbtidy::LineReader in(fuzz::memoryFile(source), counters, nullptr);
  dbc::dbtidy::Formatter fmt(s, sink);
  std::string line;
  while (!in.eof()) {
    if (!in.getline_dbtidy(line)) break;
    if (in.eof() && line.empty()) continue;
    fmt.process(line, counters.linecnt);
    if (s.kill_dbg == dbc::dbtidy::KillDebug::kReport) fmt.remember(line);
  }
  std::fclose(sink);
  return 0;
}
