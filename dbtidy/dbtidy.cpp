// dbtidy: reformats one DB/C source file, into a new file or back over itself.
#include "common/context.hpp"
#include "dbtidy/run.hpp"

int main(int argc, char** argv) { return dbc::programMain("dbtidy", argc, argv, dbc::dbtidy::run); }
