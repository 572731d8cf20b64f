// jrnmake: the position and checksum of every record of a data file, one line each.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "audit/checksum.hpp"
#include "audit/output.hpp"
#include "audit/reader.hpp"
#include "common/io.hpp"
#include "common/standard.hpp"
#include "common/stop.hpp"

namespace {

int runProgram(int argc, char** argv) {
  if (argc != 2) {
    std::printf("Format: jrnmake file\n");
    return 1;
  }
  dbc::Fd inf = dbc::openFile(argv[1], O_RDONLY);
  if (!inf) {
    std::printf("Error openning %s \n", argv[1]);
    return 1;
  }
  std::fflush(stdout);
  audit::Output out(STDOUT_FILENO, "jrnmake");
  try {
    audit::BlockReader reader(inf.get(), argv[1], "jrnmake");
    audit::ChecksumMaker maker(out);
    auto buffer = std::make_unique<unsigned char[]>(audit::kBlockSize);
    for (;;) {
      std::size_t bytes = reader.next(buffer.get(), audit::kBlockSize);
      if (bytes > 0) maker.processBlock(buffer.get(), bytes);
      if (bytes < audit::kBlockSize) break;
    }
    out.finish();
  } catch (const dbc::Stop& stop) {
    return stop.status;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!dbc::openStandardDescriptors()) return 1;
  return dbc::finishStandardOutput("jrnmake", runProgram(argc, argv));
}
