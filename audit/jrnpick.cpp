// jrnpick: the records named by a change list, taken from a data file, as a data file of their own.
#include "audit/run.hpp"
#include "common/context.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("jrnpick", argc, argv, dbc::audit::jrnpick);
}
