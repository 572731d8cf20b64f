// jrnmake: the position and checksum of every record of a data file, one line each.
#include "audit/run.hpp"
#include "common/context.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("jrnmake", argc, argv, dbc::audit::jrnmake);
}
