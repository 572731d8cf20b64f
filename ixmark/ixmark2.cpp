// ixmark: the older index verifier, with text tags and no collating sequence.
#include "ixmark/run.hpp"

int main(int argc, char** argv) {
  return dbc::ixmark::programMain(dbc::ixmark::kIxmark2, argc, argv);
}
