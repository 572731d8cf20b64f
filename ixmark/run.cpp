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

namespace {

// What the command line and the environment settle before any file is opened.
struct Settings {
  bool verbose = false;
  std::string orgnam;
  std::string wrkpth;
  bool wrkflg = false;  // the work folder came from NDXPROBE_WRK
  Collate collate;
  bool ichflg = false;
};

bool isVerboseSwitch(const char* a) {
  return std::strcmp(a, "-v") == 0 || std::strcmp(a, "-V") == 0;
}

// The index file's name, after the verbose switch when there is one.
void readArguments(const Variant& v, int argc, char** argv, Settings& s) {
  s.orgnam = argv[1];
  if (!isVerboseSwitch(argv[1])) return;
  s.verbose = true;
  if (argc < 3) {
    std::printf("%s\n", v.usage);
    stop(1);
  }
  s.orgnam = argv[2];
}

void lookUpWrk(const Variant& v, const Config& config, bool withTitle, Settings& s) {
  s.wrkpth = config.getenv2(v.wrkKey);
  if (s.wrkpth.empty()) {
    if (withTitle) title(v);
    std::printf("dbcdx.file.vol.wrk is not defined\n");
    stop(1);
  }
  if (v.showWrk) std::printf("%s\n", s.wrkpth.c_str());
}

// ixmark3's order: the collating sequence and the work folder first, each announced as found,
// then the arguments; the verbose title comes after them, with a word on the work folder.
void startWorkFolderFirst(const Variant& v, int argc, char** argv, const Config& config,
                          Settings& s) {
  std::string collst = v.collate ? config.getenv2("dbcdx.file.collate=") : std::string();
  if (!collst.empty()) {
    title(v);
    s.collate = Collate(collst);
    std::printf("%i characters in collate list\n", s.collate.colcnt());
  }
  std::string w = v.ndxprobeWrk ? config.getenv2("NDXPROBE_WRK") : std::string();
  if (!w.empty()) {
    s.wrkpth = w;
    s.wrkflg = true;
    std::printf("NDXPROBE_WRK found %s\n", w.c_str());
  }
  if (!s.wrkflg) lookUpWrk(v, config, true, s);
  if (!isVerboseSwitch(argv[1])) {
    s.orgnam = argv[1];
    return;
  }
  title(v);
  if (s.wrkflg)
    std::printf(">> Warning. Work path changed to :: %s\n", s.wrkpth.c_str());
  else
    std::printf(">> To change wrkpath set NDXPROBE_WRK=path\n");
  readArguments(v, argc, argv, s);
}

// ixmark's order: the arguments first, then the title when verbose, then the work folder.
void startArgumentsFirst(const Variant& v, int argc, char** argv, const Config& config,
                         Settings& s) {
  readArguments(v, argc, argv, s);
  if (s.verbose) title(v);
  lookUpWrk(v, config, false, s);
}

// The command line and the work folder, in the order each program has always taken them.
Settings startUp(const Variant& v, int argc, char** argv, const Config& config) {
  if (argc < 2) {
    title(v);
    std::printf("%s\n", v.usage);
    stop(1);
  }
  Settings s;
  if (v.wrkBeforeArgs)
    startWorkFolderFirst(v, argc, argv, config, s);
  else
    startArgumentsFirst(v, argc, argv, config, s);
  s.ichflg = !config.getenv2("dbcdx.file.ichrs").empty();
  if (s.ichflg && s.verbose) std::printf("dbcdx.file.ichrs is ON\n");
  return s;
}

// The work files' names, after the index.
struct WorkNames {
  std::string tag, srt, err, prp, dbg;
};

WorkNames workNames(const Settings& s) {
  const std::string stem = s.wrkpth + "/" + baseName(s.orgnam);
  return {stem + ".TAG", stem + ".SRT", stem + ".ERR", stem + ".PRP", stem + ".DBG"};
}

struct WorkFiles {
  File tag, err, prp, dbg;
};

File createWorkFile(const std::string& path, const char* what, bool verbose) {
  File f = create(path);
  if (verbose) std::printf("Create %s %s\n", what, path.c_str());
  return f;
}

WorkFiles createWorkFiles(const WorkNames& n, bool verbose) {
  WorkFiles w;
  w.tag = createWorkFile(n.tag, "temp file", verbose);
  w.err = createWorkFile(n.err, "error file", verbose);
  w.prp = createWorkFile(n.prp, "properties file", verbose);
  w.dbg = createWorkFile(n.dbg, "debug file", verbose);
  return w;
}

Opened openOrStop(const std::string& name, const char* ext, const Config& config, bool verbose,
                  const char* what) {
  Opened o = opnfil(name, ext, kIxmarkOpen, config);
  if (!o.fd) {
    std::printf("Error opening %s \n", name.c_str());
    stop(1);
  }
  if (verbose) std::printf("Open %s %s\n", what, o.fulnam.c_str());
  return o;
}

IndexHeader readIndexHeader(const Opened& isi, const Settings& s) {
  unsigned char hdr[kHeaderSize] = {};
  if (preadFull(isi.fd.get(), hdr, sizeof hdr, 0) < 0) readError(isi.fulnam);
  return readHeader(hdr, s.orgnam, s.verbose);
}

// The data file, with where it ends and its last byte (0xFB in a DB/C type file, -1 when empty).
struct DataFile {
  Opened txt;
  std::uint64_t eofpos = 0;
  int eofchr = -1;
};

// "Seek error" ends the run with status 0, as it always has.
void seekOrStop(int fd, off_t to, int whence, off_t& at) {
  at = lseek(fd, to, whence);
  if (at < 0) {
    std::printf("Seek error\n");
    stop(0);
  }
}

DataFile openDataFile(const IndexHeader& h, const Config& config, bool verbose) {
  DataFile d{openOrStop(h.txtnam, "TXT", config, verbose, "text file")};
  const int fd = d.txt.fd.get();
  // A folder opens like a file, and may even seek to an end, but it has no bytes to read.
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) readError(d.txt.fulnam);
  off_t end, start;
  seekOrStop(fd, 0, SEEK_END, end);
  d.eofpos = static_cast<std::uint64_t>(end) - 1;
  if (verbose) std::printf("EOF position is %llu\n", static_cast<unsigned long long>(d.eofpos));
  unsigned char last;
  if (end > 0) {
    ssize_t n = preadFull(fd, &last, 1, end - 1);
    if (n < 0) readError(d.txt.fulnam);
    if (n == 1) d.eofchr = last;
  }
  seekOrStop(fd, 0, SEEK_SET, start);
  if (verbose) std::printf(d.eofchr == 0xFB ? "DBC type file\n" : "Text type file\n");
  if (verbose) std::printf("Key size is %i\n", h.keysiz);
  return d;
}

// One tag per index entry, written to the tag file and closed there.
void writeTags(const Variant& v, const Settings& s, const Opened& isi, const IndexHeader& h,
               File& tagfile, const std::string& tagflnm) {
  TagWriter writer(v, s.ichflg, s.collate, h.keysiz, s.verbose, tagfile.get());
  IsamWalk walk(isi.fd.get(), h, s.orgnam, isi.fulnam);
  walk.walk([&](const IndexEntry& e) { writer.wrttag1(e); }, s.ichflg);
  if (s.verbose) std::printf("\r%li records in index file\n", writer.reccnt1);
  if (writer.tagerr2 > 0)
    std::printf("%li index keys contained invalid characters\n", writer.tagerr2);
  bool tagOk = writer.finish();
  if (v.compressedTags) std::fputc(0xFB, tagfile.get());
  closeWorkFile(tagfile, tagflnm, tagOk);
}

void sortTags(const Variant& v, const WorkNames& n, int keysiz, bool verbose) {
  removeEarlierSorted(n.srt);
  SortCommand cmd = sortCommand(v, n.tag, n.srt, keysiz);
  if (verbose) std::printf("%s\n", cmd.shown.c_str());
  endAsTheSortEnded(runShell(cmd.run));
  if (verbose) std::printf("Sort complete\n");
}

// The sorted tags against the data file, through the reader of the program's tag format.
MergeResult compareWithData(const Variant& v, const Settings& s, const IndexHeader& h,
                            const DataFile& d, const WorkNames& n, RecordReader& rec,
                            WorkFiles& w) {
  if (v.compressedTags) {
    Fd srtf = openFile(n.srt, O_RDONLY);
    if (!srtf) {
      std::printf("Error opening %s \n", n.srt.c_str());
      stop(1);
    }
    CompressedSorted sorted(std::move(srtf), s.ichflg, 1 << 16, n.srt);
    return merge([&](std::string& b) { return sorted.getsrt(b); }, rec, h.keysiz, d.eofpos,
                 w.err.get(), w.dbg.get());
  }
  std::FILE* f = std::fopen(n.srt.c_str(), "r");
  if (!f) {
    std::printf("Error opening %s \n", n.srt.c_str());
    stop(1);
  }
  TextSorted sorted(f, kTagKeyAt + h.keysiz + 1, n.srt);  // the tag and its newline
  return merge([&](std::string& b) { return sorted.read(b); }, rec, h.keysiz, d.eofpos, w.err.get(),
               w.dbg.get());
}

// The properties, the work files closed, and every one removed but for the findings of a run
// that found disagreements.
void cleanUp(const RecordReader& rec, const MergeResult& result, const WorkNames& n, WorkFiles& w,
             bool verbose) {
  if (verbose) std::printf("\r%li records in data file\n", rec.reccnt2);
  char prp[96];
  std::snprintf(prp, sizeof prp, "Compression=%i Min=%i Max=%i", rec.comprs, rec.minsiz,
                rec.maxsiz);
  if (verbose) std::printf("%s\n", prp);
  std::fprintf(w.prp.get(), "%s\n", prp);
  closeWorkFile(w.err, n.err);
  closeWorkFile(w.prp, n.prp);
  closeWorkFile(w.dbg, n.dbg);
  std::remove(n.tag.c_str());
  std::remove(n.srt.c_str());
  if (result.errcnt == 0) {
    std::remove(n.err.c_str());
    std::remove(n.prp.c_str());
    std::remove(n.dbg.c_str());
  }
  if (verbose) std::printf("%li errors\n", result.errcnt);
}

}  // namespace

int run(const Variant& v, int argc, char** argv, const Config& config) {
  const Settings s = startUp(v, argc, argv, config);
  const WorkNames names = workNames(s);
  Opened isi = openOrStop(s.orgnam, "ISI", config, s.verbose, "index file");
  WorkFiles files = createWorkFiles(names, s.verbose);
  const IndexHeader h = readIndexHeader(isi, s);
  const DataFile data = openDataFile(h, config, s.verbose);
  writeTags(v, s, isi, h, files.tag, names.tag);
  sortTags(v, names, h.keysiz, s.verbose);
  RecordReader rec(data.txt.fd.get(), data.eofpos, data.eofchr, h, s.ichflg, s.collate, s.verbose,
                   data.txt.fulnam);
  const MergeResult result = compareWithData(v, s, h, data, names, rec, files);
  cleanUp(rec, result, names, files, s.verbose);
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
