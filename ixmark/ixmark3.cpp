// ixmark3: verifies a DB/C ISAM index against its data file, with the installation's collating
// sequence and compressed tags.
#include "common/context.hpp"
#include "ixmark/run.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("ixmark3", argc, argv, dbc::ixmark3::run);
}
