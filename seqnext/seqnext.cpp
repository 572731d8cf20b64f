// seqnext [counter file]: hands out the next number of a shared counter and prints it for the
// program that called.
#include "common/context.hpp"
#include "seqnext/run.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("seqnext", argc, argv, dbc::seqnext::run);
}
