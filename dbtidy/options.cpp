#include "dbtidy/options.hpp"

#include <cctype>
#include <climits>

#include "common/stop.hpp"

namespace dbtidy {

std::vector<std::string> splitOpts(std::string_view value) {
  std::vector<std::string> words;
  std::string word;
  for (char c : value) {
    if (c == ' ') {
      words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  words.push_back(word);
  return words;
}

void printHelp(std::FILE* out) {
  static const char* const kHelp[] = {
      "\nFormat: dbtidy infile outfile <options>\n",
      "Current Supported Options Are As Follows:\n",
      " -O      ---  Overwite Output File if it Exists",
      " -In     ---  Spaces per indention (default=5)",
      " -W      ---  Wide, insert a tab after the verb instead of a space",
      " -C      ---  Indent #IF type compiler directives",
      " -L      ---  Turn off Label / Code line splitting",
      " -2      ---  Loop style 2, Line up loop control verbs with corresponding loops",
      " -Tn     ---  Size of tabstops (default = same as spaces per indent setting)",
      " -Dn     ---  Tabstops between label and data declaration or verb,(default = 3)",
      " -U      ---  Update in place",
      " -Ffile  ---  Temp file name, use with /U",
      " -K      ---  kill DEBUG statements",
      " -KV     ---  kill DEBUG statements - Verbose",
      " -V      ---  Verbose",
      "\n Options Can also be specified in the Environment Variable 'DBTIDY_OPTS'",
      "\n  for example ; SET DBTIDY_OPTS=-U -K\n",
  };
  for (const char* line : kHelp) std::fprintf(out, "%s\n", line);
  std::fputc('\n', out);
}

namespace {

// atoi's reading (white space, sign, digits up to the first non-digit, none giving 0), held at
// the int range instead of overflowing.
int atoiHeld(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = *p++ == '-';
  long long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > INT_MAX) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (neg) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// -I, -T and -D: a number below 1 keeps the previous value and fails the parse.
bool takeNumber(const char* text, char letter, int& setting, std::FILE* out) {
  int n = atoiHeld(text);
  if (n < 1) {
    std::fprintf(out, "\n\nInvalid format for /%c option\n\n", letter);
    return false;
  }
  setting = n;
  return true;
}

}  // namespace

int getopts(const std::vector<std::string>& xargv, Settings& s, std::FILE* out) {
  if (s.envopt == 1)
    std::fprintf(out, "DBTIDY_OPTS will be used in addition to command line options\n");
  bool failed = false;
  for (std::size_t i = 2; i < xargv.size(); ++i) {
    const std::string& word = xargv[i];
    if (word.empty() || word[0] != '-') {
      if (i == 2) {
        s.up_in_place = -1;
      } else {
        std::fprintf(out, "\n\nOption /%s  -  is not defined\n\n", word.c_str());
        failed = true;
      }
      continue;
    }
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word.c_str()[1])));
    const char* rest = word.size() > 1 ? word.c_str() + 2 : word.c_str() + 1;
    switch (letter) {
      case 'O':
        s.ovrwrit = 1;
        std::fprintf(out, "Overwrite Enabled\n");
        break;
      case 'I':
        if (takeNumber(rest, 'I', s.ininc, out)) {
          std::fprintf(out, "%3i Spaces per Indentation\n", s.ininc);
        } else {
          failed = true;
        }
        break;
      case 'W':
        s.spcswt = 0;
        std::fprintf(out, "Tabs will be inserted following verbs\n");
        break;
      case 'C':
        s.cmpdir = 1;
        std::fprintf(out, "Compiler directives will be indented\n");
        break;
      case 'L':
        s.lblsplit = 1;
        std::fprintf(out, "Labels will not be split from code \n");
        break;
      case '2':
        s.loopswt = 1;
        std::fprintf(out, "Loop style 2\n");
        break;
      case 'T':
        if (takeNumber(rest, 'T', s.tabstop, out)) {
          std::fprintf(out, "%3i Spaces per Tabstop\n", s.tabstop);
        } else {
          failed = true;
        }
        break;
      case 'D':
        if (takeNumber(rest, 'D', s.ntabs, out)) {
          std::fprintf(out, "%3i Tabstops between label and data declaration or verb\n", s.ntabs);
        } else {
          failed = true;
        }
        break;
      case 'U':
        if (s.up_in_place == -1) {
          std::fprintf(out, "Inconsistant Options, Update in place / output file\n\n");
          throw dbc::Stop{1};
        }
        s.up_in_place = 1;
        std::fprintf(out, "Update In Place\n");
        break;
      case 'F':
        s.wkfname = rest;
        std::fprintf(out, "Work file name : %s \n", s.wkfname.c_str());
        break;
      case 'K':
        if (std::toupper(static_cast<unsigned char>(*rest)) == 'V') {
          s.kill_dbg = 2;
          std::fprintf(out, "Kill DEBUG statements - VERBOSE\n");
        } else {
          s.kill_dbg = 1;
          std::fprintf(out, "Kill DEBUG statements\n");
        }
        break;
      case 'V':
        s.verbose = 1;
        std::fprintf(out, "Verbose Mode\n");
        break;
      default:
        std::fprintf(out, "\n\nOption /%s  -  is not defined\n\n", word.c_str() + 1);
        failed = true;
        break;
    }
  }
  return failed ? 1 : 0;
}

}  // namespace dbtidy
