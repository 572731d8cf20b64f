// Writes the installation of dbcsweep's benchmark under ROOT (which must not exist): PAIRS data
// files with their indexes over the search path's folders and a volume, the smallest of RECORDS
// records of 80 bytes, with the damage, disagreements and unreadable files the tests plant too.
//
//   sweep_benchgen ROOT PAIRS RECORDS
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "testkit/installation.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: sweep_benchgen ROOT PAIRS RECORDS\n");
    return 2;
  }
  if (::mkdir(argv[1], 0755) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  try {
    testkit::InstallationPlan plan;
    plan.pairs = std::atoi(argv[2]);
    plan.records = std::atoi(argv[3]);
    testkit::Installation in = testkit::buildInstallation(argv[1], plan);
    std::printf("%zu files\n", in.expected.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sweep_benchgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
