#include "recscan/options.hpp"

namespace dbc::recscan {

Settings parseArgs(const std::vector<std::string>& args) {
  Settings s;
  s.hlpflg = args.empty();
  for (const std::string& a : args) {
    if (a.empty() || a[0] != '-') {
      s.filnam = a;
      s.filflg = true;
    } else if (a == "-h" || a == "-H") {
      s.hlpflg = true;
    } else if (a == "-b" || a == "-B") {
      s.bytflg = true;
    } else if (a == "-c" || a == "-C") {
      s.cmpflg = true;
    } else if (a == "-d" || a == "-D") {
      s.dbgflg = true;
    } else if (a == "-s" || a == "-S") {
      s.sumflg = true;
    } else if (a == "-p" || a == "-P" || a == "-v" || a == "-V") {
      s.verflg = true;
    } else if (a.size() == 3 && (a[1] == 'f' || a[1] == 'F') && a[2] >= '1' && a[2] <= '5') {
      s.fixflg = static_cast<FixMode>(a[2] - '0');
    }
    // Anything else, -? among it, is no switch: the usage text lists -?, but only a missing file
    // name ever brought the text up.
  }
  return s;
}

void printUsage(std::FILE* out) {
  static const char* const kUsage[] = {
      "Usage: recscan file [-f1] [-f2] [-f3] [-f4] [-f5] [-b] [-c] [-d] [-h] [-?] [-s]",
      "Options:",
      "   -f1 = replace all chars < 0x20 with 0x20 except ETX (0x14) and ESC (0x1b)",
      "   -f2 = replace 0x00 with 0x20",
      "   -f3 = replace 0x00 with 0xff",
      "   -f4 = replace 0x80 thru 0xf8 with 0x20",
      "   -f5 = replace 0xff with 0x20s",
      "   -b  = display size in bytes",
      "   -c  = display compression size",
      "   -d  = display bad characters with file position",
      "   -h  = display help",
      "   -p  = display progress",
      "   -v  = verbose",
      "   -?  = display help",
      "   -s  = display file summary (used by Data Mirroring)",
      "Note: If no -f{n} is specified, then no changes are made.",
      "      If multiple -f{n} are specified, then the last one is used.",
  };
  for (const char* line : kUsage) std::fprintf(out, "%s\n", line);
  std::fprintf(out, "\n");
}

}  // namespace dbc::recscan
