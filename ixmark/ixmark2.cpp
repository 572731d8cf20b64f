// ixmark: the older index verifier, with text tags and no collating sequence.
#include "common/standard.hpp"
#include "ixmark/run.hpp"

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("ixmark",
                                   dbc::ixmark::programMain(dbc::ixmark::kIxmark2, argc, argv));
}
