// recscan: checks a DB/C data file or text file, counts its records, deleted space and damage,
// estimates its compressed size and repairs damage in place. Its look-up commands write the
// scratch file it removes on a signal, so they run with the signals held off.
#include "common/context.hpp"
#include "recscan/run.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("recscan", argc, argv, dbc::recscan::run, dbc::OutputFailure::kStatus1,
                          dbc::runShellHeld);
}
