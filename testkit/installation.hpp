// A whole DB/C installation for the tests and the benchmark of dbcsweep: data files and their
// ISAM indexes spread over the search path's folders and a volume, with damage and disagreements
// planted on purpose, files that cannot be read, an index whose data file is missing, two indexes
// of one name in different folders, text files and a compressed file with its mirroring
// definition. It says what verdict each file must get.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testkit {

struct InstallationPlan {
  int pairs = 24;       // data files with an index each (every third one in a volume, no index)
  int records = 60;     // records of the smallest data file; the others hold up to 5 times more
  int recordSize = 80;  // bytes of a record before its mark
};

struct Installation {
  std::string root;
  std::string config;                // the DB/C configuration file (DBC_CFG)
  std::string qlon;                  // QLON_ROOT: the mirroring definitions below it
  std::string wrk;                   // the work volume
  std::vector<std::string> folders;  // the search path's folders, then the volume's
  // Every file a sweep must list, by path: "ok", "damaged", "mismatch" or "error".
  std::map<std::string, std::string> expected;
};

// Builds it under `root` (which must exist). Files that cannot be read are a dangling link and
// a FIFO, which no user, root included, can check.
Installation buildInstallation(const std::string& root, const InstallationPlan& plan = {});

// The bytes of every regular file in the installation's folders, by path: taken before and after
// a run, they prove that it changed nothing.
std::map<std::string, std::string> regularFiles(const Installation& in);

}  // namespace testkit
