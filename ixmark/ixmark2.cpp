// ixmark: the older index verifier, with text tags and no collating sequence.
#include "common/context.hpp"
#include "ixmark/run.hpp"

int main(int argc, char** argv) { return dbc::programMain("ixmark", argc, argv, dbc::ixmark::run); }
