// jrnjoin: compares two checksum lists and writes the change list.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "audit/merge.hpp"
#include "audit/output.hpp"
#include "audit/reader.hpp"
#include "common/io.hpp"
#include "common/standard.hpp"
#include "common/stop.hpp"

namespace {

int runProgram(int argc, char** argv) {
  if (argc < 3) {
    std::printf("Format: jrnjoin file\n");
    return 1;
  }
  dbc::Fd tagfile1 = dbc::openFile(argv[1], O_RDONLY);
  if (!tagfile1) {
    std::printf("Error opening %s \n", argv[1]);
    return 1;
  }
  dbc::Fd tagfile2 = dbc::openFile(argv[2], O_RDONLY);
  if (!tagfile2) {
    std::printf("Error opening %s \n", argv[2]);
    return 1;
  }
  std::fflush(stdout);
  audit::Output out(STDOUT_FILENO, "jrnjoin");
  try {
    audit::LineReader list1(tagfile1.get(), argv[1], "jrnjoin");
    audit::LineReader list2(tagfile2.get(), argv[2], "jrnjoin");
    audit::Joiner joiner(list1, list2, out);
    joiner.run();
    out.finish();
  } catch (const dbc::Stop& stop) {
    return stop.status;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("jrnjoin", runProgram(argc, argv));
}
