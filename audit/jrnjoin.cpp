// jrnjoin: compares two checksum lists and writes the change list.
#include "audit/run.hpp"
#include "common/context.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("jrnjoin", argc, argv, dbc::audit::jrnjoin);
}
