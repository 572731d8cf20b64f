// jrnpick: the records named by a change list, taken from a data file, as a data file of their own.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "audit/output.hpp"
#include "audit/pick.hpp"
#include "audit/reader.hpp"
#include "common/io.hpp"
#include "common/standard.hpp"
#include "common/stop.hpp"

namespace {

int runProgram(int argc, char** argv) {
  // Both the change list and the data file are needed; a missing one is a usage error.
  if (argc < 3) {
    std::printf("Format: jrnpick file\n");
    return 1;
  }
  dbc::Fd mrgfile = dbc::openFile(argv[1], O_RDONLY);
  if (!mrgfile) {
    std::printf("Error opening %s \n", argv[1]);
    return 1;
  }
  dbc::Fd txtfile = dbc::openFile(argv[2], O_RDONLY);
  if (!txtfile) {
    std::printf("Error opening %s \n", argv[2]);
    return 1;
  }
  // The record length as the data file's definition gives it, without the mark; 0 or absent
  // copies no data.
  std::int64_t recsiz = 0;
  if (argc > 3) {
    int length = std::atoi(argv[3]);
    if (length != 0) recsiz = static_cast<std::int64_t>(length) + 1;
  }
  std::fflush(stdout);
  audit::Output out(STDOUT_FILENO, "jrnpick");
  try {
    audit::LineReader list(mrgfile.get(), argv[1], "jrnpick");
    audit::BlockReader data(txtfile.get(), argv[2], "jrnpick");
    audit::Picker picker(list, data, recsiz, out);
    picker.run();
    out.finish();
  } catch (const dbc::Stop& stop) {
    return stop.status;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("jrnpick", runProgram(argc, argv));
}
