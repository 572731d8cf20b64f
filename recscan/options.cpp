#include "recscan/options.hpp"

namespace recscan {

Settings parseArgs(const std::vector<std::string>& args) {
  Settings s;
  if (args.empty()) s.hlpflg = 1;
  for (const std::string& a : args) {
    if (a.empty() || a[0] != '-') {
      s.filnam = a;
      s.filflg = 1;
    } else if (a == "-h" || a == "-H") {
      s.hlpflg = 1;
    } else if (a == "-b" || a == "-B") {
      s.bytflg = 1;
    } else if (a == "-c" || a == "-C") {
      s.cmpflg = 1;
    } else if (a == "-d" || a == "-D") {
      s.dbgflg = 1;
    } else if (a == "-s" || a == "-S") {
      s.sumflg = 1;
    } else if (a == "-p" || a == "-P" || a == "-v" || a == "-V") {
      s.verflg = 1;
    } else if (a.size() == 3 && (a[1] == 'f' || a[1] == 'F') && a[2] >= '1' && a[2] <= '5') {
      s.fixflg = a[2] - '0';
    }
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

}  // namespace recscan
