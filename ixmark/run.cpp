#include "ixmark/run.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/io.hpp"
#include "common/opnfil.hpp"
#include "common/shell.hpp"
#include "common/stop.hpp"
#include "ixmark/collate.hpp"
#include "ixmark/compare.hpp"
#include "ixmark/isam.hpp"
#include "ixmark/merge.hpp"
#include "ixmark/read_error.hpp"
#include "ixmark/record.hpp"
#include "ixmark/tag.hpp"

namespace dbc::ixmark {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void stop(int status) { throw Stop{status}; }

void title(const Variant& v) { std::printf("\n%s\n", v.title); }

File create(const std::string& path) {
  File f(std::fopen(path.c_str(), "w"));
  if (!f) {
    std::printf("Error creating %s \n", path.c_str());
    stop(1);
  }
  return f;
}

// Closes a work file, stopping the run when anything written to it was lost: a tag file cut short
// would be compared as if the index had lost entries, and a short error file would pass for a
// complete list of the disagreements.
void closeWorkFile(File& f, const std::string& path, bool ok = true) {
  ok = std::ferror(f.get()) == 0 && ok;
  ok = std::fclose(f.release()) == 0 && ok;
  if (!ok) {
    std::printf("Error writing %s \n", path.c_str());
    stop(1);
  }
}

// The sorted file of an earlier run that stopped before its clean-up would be compared in place
// of the sort's output should the sort fail (a full disk, DBCSORT missing or killed), and its
// disagreements reported as this run's. Without it, a failed sort leaves no sorted file to open.
void removeEarlierSorted(const std::string& srtflnm) {
  if (::unlink(srtflnm.c_str()) == 0 || errno == ENOENT) return;
  std::printf("Error creating %s \n", srtflnm.c_str());
  stop(1);
}

// While the sort runs, system() has this process ignore SIGINT, so a terminal's interrupt ends
// only the sort. When that is how the sort ended, the run ends the same way, as the user asked,
// instead of going on to report the sorted file missing.
void endAsTheSortEnded(int systemResult) {
  if (exitStatus(systemResult) != 128 + SIGINT) return;
  std::fflush(stdout);
  std::signal(SIGINT, SIG_DFL);
  std::raise(SIGINT);
}

}  // namespace

std::string baseName(const std::string& orgnam) {
  std::size_t start = orgnam.find_first_not_of(":.");
  std::string s = start == std::string::npos ? std::string() : orgnam.substr(start);
  std::size_t cut = s.find(':');
  if (cut != std::string::npos) s.resize(cut);
  cut = s.find('.');
  if (cut != std::string::npos) s.resize(cut);
  cut = s.rfind('/');
  if (cut != std::string::npos) s.erase(0, cut + 1);
  return s;
}

int run(const Variant& v, int argc, char** argv, const Config& config) {
  if (argc < 2) {
    title(v);
    std::printf("%s\n", v.usage);
    stop(1);
  }
  bool verbose = false;
  std::string orgnam;
  std::string wrkpth;
  bool wrkflg = false;
  Collate collate;
  auto isVerboseSwitch = [](const char* a) {
    return std::strcmp(a, "-v") == 0 || std::strcmp(a, "-V") == 0;
  };
  auto lookUpWrk = [&](bool withTitle) {
    wrkpth = config.getenv2(v.wrkKey);
    if (wrkpth.empty()) {
      if (withTitle) title(v);
      std::printf("dbcdx.file.vol.wrk is not defined\n");
      stop(1);
    }
    if (v.showWrk) std::printf("%s\n", wrkpth.c_str());
  };

  if (v.wrkBeforeArgs) {
    if (v.collate) {
      std::string collst = config.getenv2("dbcdx.file.collate=");
      if (!collst.empty()) {
        title(v);
        collate = Collate(collst);
        std::printf("%i characters in collate list\n", collate.colcnt());
      }
    }
    if (v.ndxprobeWrk) {
      std::string w = config.getenv2("NDXPROBE_WRK");
      if (!w.empty()) {
        wrkpth = w;
        wrkflg = true;
        std::printf("NDXPROBE_WRK found %s\n", w.c_str());
      }
    }
    if (!wrkflg) lookUpWrk(true);
    orgnam = argv[1];
    if (isVerboseSwitch(argv[1])) {
      verbose = true;
      title(v);
      if (wrkflg)
        std::printf(">> Warning. Work path changed to :: %s\n", wrkpth.c_str());
      else
        std::printf(">> To change wrkpath set NDXPROBE_WRK=path\n");
      if (argc < 3) {
        std::printf("%s\n", v.usage);
        stop(1);
      }
      orgnam = argv[2];
    }
  } else {
    orgnam = argv[1];
    if (isVerboseSwitch(argv[1])) {
      if (argc < 3) {
        std::printf("%s\n", v.usage);
        stop(1);
      }
      verbose = true;
      orgnam = argv[2];
    }
    if (verbose) title(v);
  }
  const std::string basnam = baseName(orgnam);
  if (!v.wrkBeforeArgs) lookUpWrk(false);

  bool ichflg = !config.getenv2("dbcdx.file.ichrs").empty();
  if (ichflg && verbose) std::printf("dbcdx.file.ichrs is ON\n");

  const std::string tagflnm = wrkpth + "/" + basnam + ".TAG";
  const std::string srtflnm = wrkpth + "/" + basnam + ".SRT";
  const std::string errflnm = wrkpth + "/" + basnam + ".ERR";
  const std::string prpflnm = wrkpth + "/" + basnam + ".PRP";
  const std::string dbgflnm = wrkpth + "/" + basnam + ".DBG";

  Opened isi = opnfil(orgnam, "ISI", kIxmarkOpen, config);
  if (!isi.fd) {
    std::printf("Error opening %s \n", orgnam.c_str());
    stop(1);
  }
  if (verbose) std::printf("Open index file %s\n", isi.fulnam.c_str());

  File tagfile = create(tagflnm);
  if (verbose) std::printf("Create temp file %s\n", tagflnm.c_str());
  File errfile = create(errflnm);
  if (verbose) std::printf("Create error file %s\n", errflnm.c_str());
  File prpfile = create(prpflnm);
  if (verbose) std::printf("Create properties file %s\n", prpflnm.c_str());
  File dbgfile = create(dbgflnm);
  if (verbose) std::printf("Create debug file %s\n", dbgflnm.c_str());

  unsigned char hdr[kHeaderSize] = {};
  if (preadFull(isi.fd.get(), hdr, sizeof hdr, 0) < 0) readError(isi.fulnam);
  const IndexHeader h = readHeader(hdr, orgnam, verbose);

  Opened txt = opnfil(h.txtnam, "TXT", kIxmarkOpen, config);
  if (!txt.fd) {
    std::printf("Error opening %s \n", h.txtnam.c_str());
    stop(1);
  }
  if (verbose) std::printf("Open text file %s\n", txt.fulnam.c_str());
  // A folder opens like a file, and may even seek to an end, but it has no bytes to read.
  struct stat st;
  if (fstat(txt.fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) readError(txt.fulnam);

  off_t end = lseek(txt.fd.get(), 0, SEEK_END);
  if (end < 0) {
    std::printf("Seek error\n");
    stop(0);
  }
  const std::uint64_t eofpos = static_cast<std::uint64_t>(end) - 1;
  if (verbose) std::printf("EOF position is %llu\n", static_cast<unsigned long long>(eofpos));
  int eofchr = -1;
  unsigned char last;
  if (end > 0) {
    ssize_t n = preadFull(txt.fd.get(), &last, 1, end - 1);
    if (n < 0) readError(txt.fulnam);
    if (n == 1) eofchr = last;
  }
  if (lseek(txt.fd.get(), 0, SEEK_SET) < 0) {
    std::printf("Seek error\n");
    stop(0);
  }
  if (verbose) std::printf(eofchr == 0xFB ? "DBC type file\n" : "Text type file\n");
  if (verbose) std::printf("Key size is %i\n", h.keysiz);

  TagWriter writer(v, ichflg, collate, h.keysiz, verbose, tagfile.get());
  IsamWalk walk(isi.fd.get(), h, orgnam, isi.fulnam);
  walk.walk([&](const IndexEntry& e) { writer.wrttag1(e); }, ichflg);
  if (verbose) std::printf("\r%li records in index file\n", writer.reccnt1);
  if (writer.tagerr2 > 0)
    std::printf("%li index keys contained invalid characters\n", writer.tagerr2);

  bool tagOk = writer.finish();
  if (v.compressedTags) std::fputc(0xFB, tagfile.get());
  closeWorkFile(tagfile, tagflnm, tagOk);

  removeEarlierSorted(srtflnm);
  SortCommand cmd = sortCommand(v, tagflnm, srtflnm, h.keysiz);
  if (verbose) std::printf("%s\n", cmd.shown.c_str());
  endAsTheSortEnded(runShell(cmd.run));
  if (verbose) std::printf("Sort complete\n");

  RecordReader rec(txt.fd.get(), eofpos, eofchr, h, ichflg, collate, verbose, txt.fulnam);
  MergeResult result;
  if (v.compressedTags) {
    Fd srtf = openFile(srtflnm, O_RDONLY);
    if (!srtf) {
      std::printf("Error opening %s \n", srtflnm.c_str());
      stop(1);
    }
    CompressedSorted sorted(std::move(srtf), ichflg, 1 << 16, srtflnm);
    result = merge([&](std::string& b) { return sorted.getsrt(b); }, rec, h.keysiz, eofpos,
                   errfile.get(), dbgfile.get());
  } else {
    std::FILE* f = std::fopen(srtflnm.c_str(), "r");
    if (!f) {
      std::printf("Error opening %s \n", srtflnm.c_str());
      stop(1);
    }
    TextSorted sorted(f, kTagKeyAt + h.keysiz + 1, srtflnm);  // the tag and its newline
    result = merge([&](std::string& b) { return sorted.read(b); }, rec, h.keysiz, eofpos,
                   errfile.get(), dbgfile.get());
  }

  if (verbose) std::printf("\r%li records in data file\n", rec.reccnt2);
  char prp[96];
  std::snprintf(prp, sizeof prp, "Compression=%i Min=%i Max=%i", rec.comprs, rec.minsiz,
                rec.maxsiz);
  if (verbose) std::printf("%s\n", prp);
  std::fprintf(prpfile.get(), "%s\n", prp);
  closeWorkFile(errfile, errflnm);
  closeWorkFile(prpfile, prpflnm);
  closeWorkFile(dbgfile, dbgflnm);
  std::remove(tagflnm.c_str());
  std::remove(srtflnm.c_str());
  if (result.errcnt == 0) {
    std::remove(errflnm.c_str());
    std::remove(prpflnm.c_str());
    std::remove(dbgflnm.c_str());
  }
  if (verbose) std::printf("%li errors\n", result.errcnt);
  return 0;
}

int programMain(const Variant& variant, int argc, char** argv) {
  int status;
  try {
    status = run(variant, argc, argv, Config(kDbcConfig));
  } catch (const Stop& s) {
    status = s.status;
  }
  std::fflush(stdout);
  return status;
}

}  // namespace dbc::ixmark
