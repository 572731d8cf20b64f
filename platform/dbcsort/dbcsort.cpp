// DBCSORT: the sort utility that ixmark3 and ixmark start to order their tag files.
#include "common/context.hpp"
#include "platform/dbcsort/run.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("DBCSORT", argc, argv, dbc::dbcsort::run);
}
