#include "testkit/installation.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/isam.hpp"

namespace testkit {

namespace {

constexpr int kKeySize = 10;

std::string keyOf(int file, int record) {
  char key[kKeySize + 1];
  // Spread, so that the index's order is not the data's.
  std::snprintf(key, sizeof key, "K%09u",
                static_cast<unsigned>((record * 7919u + static_cast<unsigned>(file)) % 999999937u));
  return key;
}

std::string recordOf(int file, int record, int size) {
  char text[96];
  std::snprintf(text, sizeof text, "%s NAME %06d CITY %04d", keyOf(file, record).c_str(), record,
                file);
  std::string r = text;
  r.resize(static_cast<std::size_t>(size), ' ');
  return r;
}

// The data file of `n` records and the entries of its index, taken before any change.
std::string dataFile(int file, int n, int size, std::vector<IsamEntry>& entries) {
  DataFile d;
  for (int r = 0; r < n; ++r) {
    entries.push_back({keyOf(file, r), d.bytes().size()});
    d.record(recordOf(file, r, size));
  }
  std::sort(entries.begin(), entries.end(),
            [](const IsamEntry& a, const IsamEntry& b) { return a.key < b.key; });
  return d.eof().bytes();
}

void writeIndex(const std::string& path, const std::string& dataName,
                const std::vector<IsamEntry>& entries, int recsiz) {
  IsamFile f({dataName, "1-10", 1024, recsiz, 'I', false});
  f.tree(entries);
  writeFile(path, f.bytes());
}

// One pair (or, in the volume, a data file alone), with its planted fault.
void addPair(Installation& in, int i, const InstallationPlan& plan) {
  const std::string folder = in.folders[static_cast<std::size_t>(i % 3)];
  char name[16];
  std::snprintf(name, sizeof name, "F%03d", i);
  const std::string data = folder + "/" + name + ".TXT";
  std::vector<IsamEntry> entries;
  std::string bytes = dataFile(i, plan.records * (1 + i % 5), plan.recordSize, entries);
  const std::size_t mid = bytes.size() / 2 / (plan.recordSize + 1) * (plan.recordSize + 1);
  std::string verdict = "ok";
  if (i % 7 == 3) {
    bytes[mid + kKeySize + 3] = '\0';  // damage outside the key: the index still agrees
    verdict = "damaged";
  } else if (i % 7 == 5 && i % 3 != 2) {
    bytes[mid + 4] = 'X';  // a key changed behind the index's back: two disagreements
    in.expected[folder + "/" + name + ".ISI"] = "mismatch";
  }
  writeFile(data, bytes);
  in.expected[data] = verdict;
  if (i % 3 == 2) return;  // the volume is no search path: its files have no index here
  writeIndex(folder + "/" + name + ".ISI", name, entries, plan.recordSize);
  in.expected.emplace(folder + "/" + name + ".ISI", "ok");
}

void addOddFiles(Installation& in, const InstallationPlan& plan) {
  const std::string& a = in.folders[0];
  const std::string& b = in.folders[1];
  // One index name in two folders, over two data files.
  for (const auto& [folder, data] : {std::pair{a, std::string("CUSTA")}, {b, "CUSTB"}}) {
    std::vector<IsamEntry> entries;
    writeFile(folder + "/" + data + ".TXT", dataFile(900, plan.records, plan.recordSize, entries));
    writeIndex(folder + "/CUST.ISI", data, entries, plan.recordSize);
    in.expected[folder + "/" + data + ".TXT"] = "ok";
    in.expected[folder + "/CUST.ISI"] = "ok";
  }
  std::vector<IsamEntry> lost;
  dataFile(901, 5, plan.recordSize, lost);
  writeIndex(a + "/LOST.ISI", "LOST", lost, plan.recordSize);
  in.expected[a + "/LOST.ISI"] = "error";
  if (::symlink("nowhere", (b + "/GHOST.TXT").c_str()) != 0 ||
      ::mkfifo((b + "/PIPE.TXT").c_str(), 0600) != 0) {
    throw std::runtime_error("cannot make the unreadable files");
  }
  in.expected[b + "/GHOST.TXT"] = "error";
  in.expected[b + "/PIPE.TXT"] = "error";
  writeFile(a + "/NOTES.TXT", textFile({"a text file", "of three lines", "all fine"}));
  in.expected[a + "/NOTES.TXT"] = "ok";
  writeFile(b + "/LOG.TXT", textFile({"CR LF lines:", "each CR counts as damage"}, true));
  in.expected[b + "/LOG.TXT"] = "damaged";
  // Digit pairs and space runs are damage unless the definition says compressed: it does.
  writeFile(
      a + "/PACKED.TXT",
      DataFile().compressed("0012.50     TOTAL 1234").deleted(20).compressed("99").eof().bytes());
  in.expected[a + "/PACKED.TXT"] = "ok";
  writeFile(in.qlon + "/dmf/PD01.DMF", "\"PACKED\":MIR 00000Y\n");
  writeFile(a + "/readme", "not a data file\n");
}

}  // namespace

Installation buildInstallation(const std::string& root, const InstallationPlan& plan) {
  Installation in;
  in.root = root;
  for (const char* f : {"data", "more", "arch", "wrk", "qlon", "qlon/dmf"}) {
    if (::mkdir((root + "/" + f).c_str(), 0755) != 0) throw std::runtime_error("mkdir " + root);
  }
  in.folders = {root + "/data", root + "/more", root + "/arch"};
  in.wrk = root + "/wrk";
  in.qlon = root + "/qlon";
  in.config = root + "/dbc.cfg";
  writeConfig(in.config, {{"dbcdx.file.open", in.folders[0] + ";" + in.folders[1]},
                          {"dbcdx.file.vol.arch", in.folders[2]},
                          {"dbcdx.file.vol.wrk", in.wrk}});
  for (int i = 0; i < plan.pairs; ++i) addPair(in, i, plan);
  addOddFiles(in, plan);
  return in;
}

std::map<std::string, std::string> regularFiles(const Installation& in) {
  std::map<std::string, std::string> all;
  for (const std::string& folder : in.folders) {
    for (const std::string& name : listDir(folder)) {
      struct stat st;
      const std::string p = folder + "/" + name;
      if (::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode)) all[p] = readFile(p);
    }
  }
  return all;
}

}  // namespace testkit
