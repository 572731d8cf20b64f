// pageconv infile outfile: turns a line-printer print file into an RTF document whose font
// size and orientation fit the longest line of the print.
#include "common/context.hpp"
#include "pageconv/run.hpp"

int main(int argc, char** argv) {
  return dbc::programMain("pageconv", argc, argv, dbc::pageconv::run);
}
