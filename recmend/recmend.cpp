// recmend: repairs bytes outside the printable range in the fixed-length records of a DB/C
// data file, and can start the index probe afterwards.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "recmend/run.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return recmend::recmend_main(args, std::getenv("QLON_ROOT"), stdout, stderr);
}
