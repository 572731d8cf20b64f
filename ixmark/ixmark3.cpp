// ixmark3: verifies a DB/C ISAM index against its data file, with the installation's collating
// sequence and compressed tags.
#include "common/standard.hpp"
#include "ixmark/run.hpp"

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("ixmark3",
                                   dbc::ixmark::programMain(dbc::ixmark::kIxmark3, argc, argv));
}
