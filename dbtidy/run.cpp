#include "dbtidy/run.hpp"

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "dbtidy/files.hpp"
#include "dbtidy/formatter.hpp"
#include "dbtidy/options.hpp"
#include "dbtidy/srcpath.hpp"

namespace dbc::dbtidy {

namespace {

// The run's words in their argument positions: 0 the program, 1 the input, 2 the output or the
// first option; the words of DBTIDY_OPTS follow the command line's, so they override it.
std::vector<std::string> wordsOf(const std::vector<std::string>& args, const Context& context,
                                 Settings& s) {
  std::vector<std::string> xargv{"dbtidy"};
  xargv.insert(xargv.end(), args.begin(), args.end());
  if (const char* opts = context.env("DBTIDY_OPTS")) {
    s.envopt = true;
    for (std::string& w : splitOpts(opts)) xargv.push_back(std::move(w));
  }
  return xargv;
}

// The path chosen once, and said. It is handed on to the look-ups rather than exported as
// DBC_SRCPATH into the process's environment: that variable's only reader would be this run's
// own look-ups, for dbtidy starts no other program, so leaving the environment alone changes
// nothing anyone can see.
std::string chooseSrcpath(const Settings& s, const Context& context) {
  SourcePath p = get_srcpath(context.env, s.verbose, context.out);
  reportSrcpath(p, context.out);
  return p.srcpath;
}

// Every line through the formatter into the output or work file. The read that meets the end of
// the file with nothing read is no line.
void formatLines(Files& files, Formatter& fmt, Counters& counters, const Settings& s) {
  std::span<char> inputline;
  LineReader& in = files.in();
  LineWriter& writer = files.out();
  while (!in.eof()) {
    if (!in.next(inputline)) files.readFailed();
    if (in.eof() && inputline.empty()) continue;
    // Built where it is written: the writer's buffer has the room a line needs.
    if (fmt.process(inputline, counters.linecnt, writer.room()) == 1 &&
        !writer.commit(fmt.outline().size())) {
      files.closeAll();  // reports the failed write and ends the run
    }
    if (s.kill_dbg == KillDebug::kReport) {
      fmt.remember(std::string_view(inputline.data(), inputline.size()));
    }
  }
}

// "Bytes Read in" is the reader's count (see Counters) less 2, and the counters are printed only
// when that is above 0: an empty source prints none of them.
void printCounters(Counters counters, std::FILE* out) {
  counters.ibytes -= 2;
  if (counters.ibytes <= 0) return;
  std::fprintf(out, "%lli -- Lines Processed\n", counters.linecnt);
  std::fprintf(out, "%lli -- Bytes Read in\n", counters.ibytes);
  std::fprintf(out, "%lli -- Bytes Written out\n", counters.obytes);
}

}  // namespace

int run(const std::vector<std::string>& args, Context& context) {
  std::FILE* out = context.out;
  Settings s;
  std::vector<std::string> xargv = wordsOf(args, context, s);
  std::fprintf(out, "%s\n", kBanner);
  // Only the command line counts here: DBTIDY_OPTS alone does not name a source.
  if (args.empty()) {
    printHelp(out);
    return 1;
  }
  if (int rc = getopts(xargv, s, out); rc != 0) return rc;
  if (s.tabstop == -1) s.tabstop = s.ininc;
  const std::string path = chooseSrcpath(s, context);

  Counters counters;
  Files files(s, counters, context);
  files.getinp(xargv[1], path);
  files.getout(xargv.size() > 2 ? xargv[2].c_str() : nullptr, path);

  counters = Counters{};
  Formatter fmt(s, out);
  formatLines(files, fmt, counters, s);
  printCounters(counters, out);
  files.closeAll();
  if (s.inPlace()) files.copy_temp_back();
  return 0;
}

}  // namespace dbc::dbtidy
