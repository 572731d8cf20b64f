// dbtidy's option parser and its formatter on any options and any source, read through its own
// line reader. Invariants: no crash (a formatted line may hold a line end: a label then stands on
// a line of its own), and the same lines, counts and formatted lines whether a line is handed out
// in the read buffer and built in an output buffer or copied and built apart.
#include <span>
#include <string>
#include <string_view>
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
  // The run's way (lines as views into the read buffer, built in an output buffer, each with the
  // neighbouring bytes a vector scan reads past its end) against lines copied out and formatted
  // in the formatter's own buffer: the neighbours must never show in a line.
  dbc::dbtidy::Counters counters, copied;
  dbc::dbtidy::LineReader in(fuzz::memoryFile(source), counters, nullptr);
  dbc::dbtidy::LineReader again(fuzz::memoryFile(source), copied, nullptr);
  dbc::dbtidy::Formatter fmt(s, sink), plain(s, sink);
  std::vector<char> out(dbc::dbtidy::kLineMax + dbc::dbtidy::kSlack, '#');
  std::span<char> line;
  std::string copy;
  while (!in.eof()) {
    if (!in.next(line) || !again.getline_dbtidy(copy)) break;
    if (copy != std::string_view(line.data(), line.size()) || in.eof() != again.eof() ||
        counters.ibytes != copied.ibytes || counters.linecnt != copied.linecnt) {
      __builtin_trap();
    }
    if (in.eof() && line.empty()) continue;
    const int rc = fmt.process(line, counters.linecnt, out.data());
    if (rc != plain.process(copy, copied.linecnt) || fmt.outline() != plain.outline() ||
        copy != std::string_view(line.data(), line.size()) ||
        fmt.outline().size() > dbc::dbtidy::kLineMax || fmt.indepth != plain.indepth ||
        fmt.cont != plain.cont || fmt.lst_tab != plain.lst_tab) {
      __builtin_trap();
    }
    if (s.kill_dbg == dbc::dbtidy::KillDebug::kReport) {
      fmt.remember(copy);
      plain.remember(copy);
    }
  }
  std::fclose(sink);
  return 0;
}
