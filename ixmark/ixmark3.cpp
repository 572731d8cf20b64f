// ixmark3: verifies a DB/C ISAM index against its data file, with the installation's collating
// sequence and compressed tags.
#include "ixmark/run.hpp"

int main(int argc, char** argv) {
  return dbc::ixmark::programMain(dbc::ixmark::kIxmark3, argc, argv);
}
