// The run's settings, fixed by the command line and DBTIDY_OPTS before the first line is read and
// read-only afterwards; every part of the formatter reads them from here.
#pragma once

#include <string>

namespace dbc::dbtidy {

// Where the formatted source goes (up_in_place).
enum class UpdateMode : int {
  kOutputFile = -1,  // an output file was named in position 2
  kInPlace = 1,      // the source is rewritten through a work file
};

// What becomes of DEBUG statements (kill_dbg).
enum class KillDebug : int {
  kKeep = 0,
  kRemove = 1,  // -K
  kReport = 2,  // -KV: removed, and each removal reported with the lines before it
};

struct Settings {
  int ininc = 5;          // spaces per indentation level
  int tabstop = -1;       // columns per tab stop; -1 until the options are parsed, then ininc
  int ntabs = 3;          // tab stops between a label and the verb of a data declaration
  bool spcswt = true;     // a space follows the verb; false (-W): a tab does
  bool cmpdir = false;    // #IF / #ELSE / #ENDIF move the indentation
  bool lblsplit = false;  // labels stay on the line of their statement
  bool loopswt = false;   // WHILE, UNTIL, CONTINUE, BREAK line up with their LOOP
  // Updating in place is the default, -U or not: a run given only a source rewrites it. Only an
  // output file named in position 2 turns it off.
  UpdateMode up_in_place = UpdateMode::kInPlace;
  bool ovrwrit = false;  // an existing output file may be overwritten
  std::string wkfname;   // work file named by -F
  KillDebug kill_dbg = KillDebug::kKeep;
  bool verbose = false;  // trace every line read, classified and written
  bool envopt = false;   // DBTIDY_OPTS is set (also when empty)

  char tab = '\t';
  char spc = ' ';

  bool inPlace() const { return up_in_place == UpdateMode::kInPlace; }
};

}  // namespace dbc::dbtidy
