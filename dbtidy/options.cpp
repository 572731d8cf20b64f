#include "dbtidy/options.hpp"

#include <cctype>
#include <climits>

#include "common/stop.hpp"

namespace dbc::dbtidy {

namespace {

// The help text, a line feed after each entry.
constexpr const char* kHelp[] = {
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

}  // namespace

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
  for (const char* line : kHelp) std::fprintf(out, "%s\n", line);
  std::fputc('\n', out);
}

namespace {

// The options that only switch one setting and say so. Their letters take no argument: whatever
// follows the letter is ignored (-Overwrite acts as -O).
struct Switch {
  char letter;
  bool Settings::*setting;
  bool value;
  const char* acknowledgement;
};

constexpr Switch kSwitches[] = {
    {'O', &Settings::ovrwrit, true, "Overwrite Enabled"},
    {'W', &Settings::spcswt, false, "Tabs will be inserted following verbs"},
    {'C', &Settings::cmpdir, true, "Compiler directives will be indented"},
    // The trailing space is part of the text users and their scripts have always seen.
    {'L', &Settings::lblsplit, true, "Labels will not be split from code "},
    {'2', &Settings::loopswt, true, "Loop style 2"},
    {'V', &Settings::verbose, true, "Verbose Mode"},
};

// The messages name options with "/", although only "-" introduces one.
void undefined(const char* word, std::FILE* out) {
  std::fprintf(out, "\n\nOption /%s  -  is not defined\n\n", word);
}

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

bool takeNumberOption(char letter, const char* rest, Settings& s, std::FILE* out) {
  switch (letter) {
    case 'I':
      if (!takeNumber(rest, 'I', s.ininc, out)) return false;
      std::fprintf(out, "%3i Spaces per Indentation\n", s.ininc);
      return true;
    case 'T':
      if (!takeNumber(rest, 'T', s.tabstop, out)) return false;
      std::fprintf(out, "%3i Spaces per Tabstop\n", s.tabstop);
      return true;
    default:
      if (!takeNumber(rest, 'D', s.ntabs, out)) return false;
      std::fprintf(out, "%3i Tabstops between label and data declaration or verb\n", s.ntabs);
      return true;
  }
}

// -U. An output file is always parsed first (position 2), so the conflict is only ever seen
// here; it ends the run at once, before the words after it are looked at.
void takeUpdateInPlace(Settings& s, std::FILE* out) {
  if (s.up_in_place == UpdateMode::kOutputFile) {
    std::fprintf(out, "Inconsistant Options, Update in place / output file\n\n");
    throw dbc::Stop{1};
  }
  s.up_in_place = UpdateMode::kInPlace;
  std::fprintf(out, "Update In Place\n");
}

// -K, or -KV: any other character after the K is ignored, as for every option without argument.
void takeKillDebug(const char* rest, Settings& s, std::FILE* out) {
  if (std::toupper(static_cast<unsigned char>(*rest)) == 'V') {
    s.kill_dbg = KillDebug::kReport;
    std::fprintf(out, "Kill DEBUG statements - VERBOSE\n");
  } else {
    s.kill_dbg = KillDebug::kRemove;
    std::fprintf(out, "Kill DEBUG statements\n");
  }
}

// A word that begins with "-": its letter, in either case, then its argument (a lone "-" has the
// letter 0, which no option has).
bool takeOption(const std::string& word, Settings& s, std::FILE* out) {
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word.c_str()[1])));
  const char* rest = word.size() > 1 ? word.c_str() + 2 : word.c_str() + 1;
  for (const Switch& sw : kSwitches) {
    if (sw.letter != letter) continue;
    s.*sw.setting = sw.value;
    std::fprintf(out, "%s\n", sw.acknowledgement);
    return true;
  }
  switch (letter) {
    case 'I':
    case 'T':
    case 'D':
      return takeNumberOption(letter, rest, s, out);
    case 'U':
      takeUpdateInPlace(s, out);
      return true;
    case 'F':
      s.wkfname = rest;
      std::fprintf(out, "Work file name : %s \n", s.wkfname.c_str());
      return true;
    case 'K':
      takeKillDebug(rest, s, out);
      return true;
    default:
      undefined(word.c_str() + 1, out);
      return false;
  }
}

// Any word that does not begin with "-" in position 2 names the output file, even an empty one
// (two spaces in DBTIDY_OPTS); anywhere later it is rejected.
bool takeWord(const std::string& word, std::size_t position, Settings& s, std::FILE* out) {
  if (!word.empty() && word[0] == '-') return takeOption(word, s, out);
  if (position == 2) {
    s.up_in_place = UpdateMode::kOutputFile;
    return true;
  }
  undefined(word.c_str(), out);
  return false;
}

}  // namespace

int getopts(const std::vector<std::string>& xargv, Settings& s, std::FILE* out) {
  if (s.envopt) std::fprintf(out, "DBTIDY_OPTS will be used in addition to command line options\n");
  // A rejected word does not stop the parse: every bad word is reported before the run ends.
  bool failed = false;
  for (std::size_t i = 2; i < xargv.size(); ++i) {
    if (!takeWord(xargv[i], i, s, out)) failed = true;
  }
  return failed ? 1 : 0;
}

}  // namespace dbc::dbtidy
