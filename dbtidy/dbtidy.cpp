// dbtidy: reformats one DB/C source file, into a new file or back over itself.
#include <cstdio>

#include "common/standard.hpp"
#include "dbtidy/run.hpp"

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("dbtidy", dbtidy::run(argc, argv, stdout));
}
