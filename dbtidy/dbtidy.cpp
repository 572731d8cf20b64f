// dbtidy: reformats one DB/C source file, into a new file or back over itself.
#include <cstdio>

#include "dbtidy/run.hpp"

int main(int argc, char** argv) { return dbtidy::run(argc, argv, stdout); }
