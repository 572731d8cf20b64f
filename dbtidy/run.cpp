#include "dbtidy/run.hpp"

#include <cstdlib>
#include <string>
#include <vector>

#include "common/stop.hpp"
#include "dbtidy/files.hpp"
#include "dbtidy/formatter.hpp"
#include "dbtidy/options.hpp"
#include "dbtidy/srcpath.hpp"

namespace dbtidy {

namespace {

int runOnce(int argc, char** argv, std::FILE* out) {
  Settings s;
  std::vector<std::string> xargv(argv, argv + argc);
  if (const char* opts = std::getenv("DBTIDY_OPTS")) {
    s.envopt = 1;
    for (std::string& w : splitOpts(opts)) xargv.push_back(std::move(w));
  }

  std::fprintf(out, "%s\n", kBanner);
  if (argc <= 1) {
    printHelp(out);
    return 1;
  }
  s.ovrwrit = 0;
  if (int rc = getopts(xargv, s, out); rc != 0) return rc;
  if (s.tabstop == -1) s.tabstop = s.ininc;

  SourcePath p = get_srcpath([](const char* k) { return std::getenv(k); }, s.verbose, out);
  reportSrcpath(p, out);
  if (::setenv("DBC_SRCPATH", p.srcpath.c_str(), 1) != 0) {
    std::fprintf(out, "OUT OF ENVIRONMENT SPACE\n");
  }
  const char* exported = std::getenv("DBC_SRCPATH");
  std::string path = exported ? exported : "";

  Counters counters;
  Files files(s, counters, out);
  files.getinp(xargv[1], path);
  files.getout(xargv.size() > 2 ? xargv[2].c_str() : nullptr, path);

  counters = Counters{};
  Formatter fmt(s, out);
  fmt.cont = 0;
  std::string inputline;
  LineReader& in = files.in();
  LineWriter& writer = files.out();
  while (!in.eof()) {
    if (!in.getline_dbtidy(inputline)) files.readFailed();
    if (in.eof() && inputline.empty()) continue;
    if (fmt.process(inputline, counters.linecnt) == 1 && !writer.putline(fmt.outline())) {
      files.closeAll();  // reports the failed write and ends the run
    }
    if (s.kill_dbg == 2) fmt.remember(inputline);
  }

  counters.ibytes -= 2;
  if (counters.ibytes > 0) {
    std::fprintf(out, "%lli -- Lines Processed\n", counters.linecnt);
    std::fprintf(out, "%lli -- Bytes Read in\n", counters.ibytes);
    std::fprintf(out, "%lli -- Bytes Written out\n", counters.obytes);
  }
  files.closeAll();
  if (s.up_in_place == 1) files.copy_temp_back();
  return 0;
}

}  // namespace

int run(int argc, char** argv, std::FILE* out) {
  int status;
  try {
    status = runOnce(argc, argv, out);
  } catch (const dbc::Stop& stop) {
    status = stop.status;
  }
  std::fflush(out);
  return status;
}

}  // namespace dbtidy
