#include "recscan/run.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "common/io.hpp"
#include "common/opnfil.hpp"
#include "common/shell.hpp"
#include "common/signals.hpp"
#include "recscan/dmf.hpp"
#include "recscan/report.hpp"

namespace recscan {

namespace {

using ll = long long;

const char kErase[] = "\r";  // back to the start of the progress line

std::string lookup(const dbc::EnvLookup& env, const char* name) {
  const char* v = env(name);
  return v != nullptr ? v : "";
}

}  // namespace

void printReadFailure(const std::string& fulnam, const ReadFailure& failure) {
  std::printf("Error reading %s at offset %lli: %s\n", fulnam.c_str(),
              static_cast<ll>(failure.offset), std::strerror(failure.error));
}

int fileType(int fd, std::int64_t eofpos, ReadFailure& failure) {
  unsigned char eofchr = 0;
  if (eofpos > 0) {
    ssize_t got = dbc::preadFull(fd, &eofchr, 1, eofpos - 1);
    if (got < 0) {
      failure = ReadFailure{eofpos - 1, errno};
      return 0;
    }
    if (got == 1 && eofchr == 0xFB) return 1;
  }
  std::vector<unsigned char> buffer(kBlockSize);
  std::int64_t pos = 0;
  for (;;) {
    ssize_t bytes = dbc::preadFull(fd, buffer.data(), kBlockSize, pos);
    if (bytes < 0) {
      failure = ReadFailure{pos, errno};
      return 0;
    }
    if (bytes == 0) break;
    // Only pairs inside one block count; one split across two blocks is not seen.
    const unsigned char* p = buffer.data();
    const unsigned char* end = p + bytes;
    while ((p = static_cast<const unsigned char*>(std::memchr(p, '\r', end - p))) != nullptr) {
      if (++p < end && *p == '\n') return 3;
    }
    pos += bytes;
  }
  return 2;
}

bool scanBlocks(int fd, Scanner& scan, int filtyp, std::int64_t eofpos, bool progress,
                const std::string& fulnam, ReadFailure& failure) {
  std::vector<unsigned char> buffer(kBlockSize);
  bool written = true;
  int filpct2 = 0;
  std::int64_t curpos = 0;
  for (;;) {
    ssize_t bytes = dbc::preadFull(fd, buffer.data(), kBlockSize, curpos);
    if (bytes < 0) {
      failure = ReadFailure{curpos, errno};
      break;
    }
    if (bytes == 0) break;
    const std::size_t n = static_cast<std::size_t>(bytes);
    bool back = filtyp == 1 ? scan.processBuffer(buffer.data(), n, curpos)
                            : scan.processBuffer2(buffer.data(), n, curpos);
    if (back && !dbc::pwriteFull(fd, buffer.data(), n, curpos)) {
      std::printf("Error writing %s at offset %lli\n", fulnam.c_str(), static_cast<ll>(curpos));
      written = false;
    }
    curpos += bytes;
    // A file that grew since its size was taken must not divide by nothing.
    int filpct = eofpos > 0 ? static_cast<int>(curpos * 100 / eofpos) : 100;
    if (progress && filpct != filpct2) {
      std::printf("%s%3i%%", kErase, filpct);
      std::fflush(stdout);
    }
    filpct2 = filpct;
  }
  return written;
}

int run(const Settings& s, const dbc::Config& config, const dbc::EnvLookup& env, int pid) {
  char tmpbuf[64];
  std::snprintf(tmpbuf, sizeof tmpbuf, "/tmp/%d.pid", pid);
  const std::string tmpfil = tmpbuf;

  if (!s.sumflg) std::printf("Recscan utility May 31, 2021\n");
  if (s.hlpflg || !s.filflg) {
    printUsage(stdout);
    return 0;
  }

  ScanSettings scanSet;
  scanSet.fixflg = s.fixflg;
  scanSet.dbgflg = s.dbgflg != 0;
  scanSet.cmpflg = s.cmpflg != 0;
  std::string retval = config.getenv2("dbcdx.file.ichrs");
  if (retval.empty()) retval = config.getenv2("DBC_ICHRS");
  scanSet.ichflg = retval == "on" || retval == "ON";

  if (!s.sumflg) {
    if (s.fixflg > 0) std::printf("Fix option is %i\n", s.fixflg);
    if (s.dbgflg) std::printf("Debug option is set\n");
    if (s.verflg) std::printf("Verbose option is set\n");
    if (scanSet.ichflg) std::printf("Ichrs option is set\n");
  }

  // The names have always lived in 100-byte buffers; a longer one is refused, not cut short.
  if (s.filnam.size() > dbc::kNameMax) {
    std::printf("File name longer than %zu characters: %s\n", dbc::kNameMax, s.filnam.c_str());
    return 1;
  }
  dbc::Opened opened = dbc::opnfil(s.filnam, "TXT", dbc::kRecscanOpen, config);
  if (!opened.fd.valid()) {
    std::printf("Error opening %s\n", opened.name.c_str());
    return 1;
  }
  const std::string& filnam = opened.name;
  const std::string& fulnam = opened.fulnam;
  const int inf = opened.fd.get();
  if (!s.sumflg) std::printf("%s\n", fulnam.c_str());

  struct stat st;
  std::int64_t eofpos = ::fstat(inf, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
  ReadFailure failure;
  const int filtyp = fileType(inf, eofpos, failure);
  if (failure.failed()) {
    printReadFailure(fulnam, failure);
    return 1;
  }

  const std::string envRoot = lookup(env, "QLON_ROOT");
  Dmf dmf{-1, 0};
  {
    // Registered before the file exists, so that no moment of its life is left uncovered.
    dbc::RemoveOnSignal scratch(tmpfil);
    if (createTemp(tmpfil)) {
      dmf = getdmf(filnam, dmfDir(envRoot.c_str()), tmpfil);
      dbc::runShellHeld("rm " + dbc::shellWord(tmpfil));
    }
  }
  scanSet.cmpflg1 = dmf.cmpflg1;
  scanSet.dmflen = dmf.dmflen;

  if (!s.sumflg) {
    static const char* const kTypes[] = {"DBC type file", "Text type file", "CRLF type file"};
    std::printf("%s\n", kTypes[filtyp - 1]);
    if (filtyp == 1) {
      if (dmf.cmpflg1 == 0) std::printf("Compression is NOT configured.\n");
      if (dmf.cmpflg1 == 1) std::printf("Compression is configured.\n");
      if (dmf.cmpflg1 == -1) std::printf("Compression not defined.\n");
    }
  }

  Scanner scan(scanSet, stdout);
  const std::clock_t start = std::clock();
  const bool written =
      scanBlocks(inf, scan, filtyp, eofpos, s.verflg && !s.sumflg, fulnam, failure);
  const std::clock_t end = std::clock();
  if (s.verflg) std::printf("%s", kErase);
  // Counts of part of the file must not pass for the file's: no report, no summary line.
  if (failure.failed()) {
    printReadFailure(fulnam, failure);
    return 1;
  }

  ReportFacts facts;
  facts.filnam = filnam;
  facts.filtyp = filtyp;
  facts.bytflg = s.bytflg != 0;
  facts.cmpflg = s.cmpflg != 0;
  facts.runtim = static_cast<double>(end - start) * 1000000.0 / CLOCKS_PER_SEC / 1000000 / 60;
  if (s.sumflg) {
    printSummary(stdout, scan, facts);
  } else {
    printReport(stdout, scan, facts);
  }
  return written ? 0 : 1;
}

}  // namespace recscan
