// dbcsweep: checks every DB/C data file and ISAM index of an installation in one run, in
// parallel and read-only, for the nightly job and the monitoring system.
#include "common/context.hpp"
#include "sweep/run.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("dbcsweep", argc, argv, dbc::sweep::run);
}
