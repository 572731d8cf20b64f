// recmend: repairs bytes outside the printable range in the fixed-length records of a DB/C
// data file, and can start the index probe afterwards.
#include "common/context.hpp"
#include "recmend/run.hpp"

// Callers rely on status 0 whatever happened, so a lost report is only said.
int main(int argc, char** argv) {
  return dbc::programMain("recmend", argc, argv, dbc::recmend::run,
                          dbc::OutputFailure::kMessageOnly);
}
