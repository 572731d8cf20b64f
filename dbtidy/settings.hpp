// The run's settings, fixed by the command line and DBTIDY_OPTS before the first line is read and
// read-only afterwards; every part of the formatter reads them from here.
#pragma once

#include <string>

namespace dbtidy {

struct Settings {
  int ininc = 5;        // spaces per indentation level
  int tabstop = -1;     // columns per tab stop; -1 until the options are parsed, then ininc
  int ntabs = 3;        // tab stops between a label and the verb of a data declaration
  int spcswt = 1;       // 1: a space follows the verb; 0: a tab does
  int cmpdir = 0;       // 1: #IF / #ELSE / #ENDIF move the indentation
  int lblsplit = 0;     // 1: labels stay on the line of their statement
  int loopswt = 0;      // 1: WHILE, UNTIL, CONTINUE, BREAK line up with their LOOP
  int up_in_place = 1;  // 1: rewrite the input; -1: an output file was named
  int ovrwrit = 0;      // 1: an existing output file may be overwritten
  std::string wkfname;  // work file named by -F
  int kill_dbg = 0;     // 0: keep DEBUG; 1: remove it; 2: remove it and report each removal
  int verbose = 0;      // 1: trace every line read, classified and written
  int envopt = 0;       // 1: DBTIDY_OPTS is set

  char tab = '\t';
  char spc = ' ';
};

}  // namespace dbtidy
