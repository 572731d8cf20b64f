#include "ixmark/run.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include "common/config.hpp"
#include "common/io.hpp"
#include "common/opnfil.hpp"
#include "common/shell.hpp"
#include "common/stop.hpp"
#include "ixmark/collate.hpp"
#include "ixmark/compare.hpp"
#include "ixmark/isam.hpp"
#include "ixmark/merge.hpp"
#include "ixmark/prefetch.hpp"
#include "ixmark/read_error.hpp"
#include "ixmark/record.hpp"
#include "ixmark/tag.hpp"
#include "ixmark/walkahead.hpp"

namespace dbc::ixmark {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void stop(int status) { throw Stop{status}; }

void title(const Variant& v, std::FILE* out) { std::fprintf(out, "\n%s\n", v.title); }

File create(const std::string& path, std::FILE* out) {
  File f(std::fopen(path.c_str(), "w"));
  if (!f) {
    std::fprintf(out, "Error creating %s \n", path.c_str());
    stop(1);
  }
  return f;
}

// Closes a work file, stopping the run when anything written to it was lost: a tag file cut short
// would be compared as if the index had lost entries, and a short error file would pass for a
// complete list of the disagreements.
void closeWorkFile(File& f, const std::string& path, std::FILE* out, bool ok = true) {
  ok = std::ferror(f.get()) == 0 && ok;
  ok = std::fclose(f.release()) == 0 && ok;
  if (!ok) {
    std::fprintf(out, "Error writing %s \n", path.c_str());
    stop(1);
  }
}

// The sorted file of an earlier run that stopped before its clean-up would be compared in place
// of the sort's output should the sort fail (a full disk, DBCSORT missing or killed), and its
// disagreements reported as this run's. Without it, a failed sort leaves no sorted file to open.
void removeEarlierSorted(const std::string& srtflnm, std::FILE* out) {
  if (::unlink(srtflnm.c_str()) == 0 || errno == ENOENT) return;
  std::fprintf(out, "Error creating %s \n", srtflnm.c_str());
  stop(1);
}

// While the sort runs, system() has this process ignore SIGINT, so a terminal's interrupt ends
// only the sort. When that is how the sort ended, the run ends the same way, as the user asked,
// instead of going on to report the sorted file missing.
void endAsTheSortEnded(int systemResult, std::FILE* out) {
  if (exitStatus(systemResult) != 128 + SIGINT) return;
  std::fflush(out);
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

bool isVerboseSwitch(const std::string& a) { return a == "-v" || a == "-V"; }

// The work files' names, after the index.
struct WorkNames {
  std::string tag, srt, err, prp, dbg;
};

struct WorkFiles {
  File tag, err, prp, dbg;
};

// The data file, with where it ends and its last byte (0xFB in a DB/C type file, -1 when empty).
struct DataFile {
  Opened txt;
  std::uint64_t eofpos = 0;
  int eofchr = -1;
};

// One run: the program's variant and context, the configuration read through the context, and
// what the command line settled. Every message goes to the context's output.
class Run {
 public:
  Run(const Variant& v, const std::vector<std::string>& args, Context& context, Findings* findings)
      : v_(v),
        args_(args),
        context_(context),
        out_(context.out),
        config_(kDbcConfig, context.env, context.out),
        findings_(findings) {}

  int go();

 private:
  void readArguments();
  void lookUpWrk(bool withTitle);
  void startWorkFolderFirst();
  void startArgumentsFirst();
  void startUp();
  WorkNames workNames() const;
  File createWorkFile(const std::string& path, const char* what);
  WorkFiles createWorkFiles(const WorkNames& n);
  Opened openOrStop(const std::string& name, const char* ext, const char* what);
  IndexHeader readIndexHeader(const Opened& isi);
  void seekOrStop(int fd, off_t to, int whence, off_t& at);
  DataFile openDataFile(const IndexHeader& h);
  void writeTags(const Opened& isi, const IndexHeader& h, File& tagfile,
                 const std::string& tagflnm);
  void sortTags(const WorkNames& n, int keysiz);
  MergeResult compareWithData(const IndexHeader& h, const DataFile& d, const WorkNames& n,
                              RecordReader& rec, WorkFiles& w);
  void cleanUp(const RecordReader& rec, const MergeResult& result, const WorkNames& n,
               WorkFiles& w);

  const Variant& v_;
  const std::vector<std::string>& args_;
  Context& context_;
  std::FILE* out_;
  Config config_;
  Findings* findings_;
  Settings s_;
};

// The index file's name, after the verbose switch when there is one.
void Run::readArguments() {
  s_.orgnam = args_[0];
  if (!isVerboseSwitch(args_[0])) return;
  s_.verbose = true;
  if (args_.size() < 2) {
    std::fprintf(out_, "%s\n", v_.usage);
    stop(1);
  }
  s_.orgnam = args_[1];
}

void Run::lookUpWrk(bool withTitle) {
  s_.wrkpth = config_.getenv2(v_.wrkKey);
  if (s_.wrkpth.empty()) {
    if (withTitle) title(v_, out_);
    std::fprintf(out_, "dbcdx.file.vol.wrk is not defined\n");
    stop(1);
  }
  if (v_.showWrk) std::fprintf(out_, "%s\n", s_.wrkpth.c_str());
}

// ixmark3's order: the collating sequence and the work folder first, each announced as found,
// then the arguments; the verbose title comes after them, with a word on the work folder.
void Run::startWorkFolderFirst() {
  std::string collst = v_.collate ? config_.getenv2("dbcdx.file.collate=") : std::string();
  if (!collst.empty()) {
    title(v_, out_);
    s_.collate = Collate(collst);
    std::fprintf(out_, "%i characters in collate list\n", s_.collate.colcnt());
  }
  std::string w = v_.ndxprobeWrk ? config_.getenv2("NDXPROBE_WRK") : std::string();
  if (!w.empty()) {
    s_.wrkpth = w;
    s_.wrkflg = true;
    std::fprintf(out_, "NDXPROBE_WRK found %s\n", w.c_str());
  }
  if (!s_.wrkflg) lookUpWrk(true);
  if (!isVerboseSwitch(args_[0])) {
    s_.orgnam = args_[0];
    return;
  }
  title(v_, out_);
  if (s_.wrkflg)
    std::fprintf(out_, ">> Warning. Work path changed to :: %s\n", s_.wrkpth.c_str());
  else
    std::fprintf(out_, ">> To change wrkpath set NDXPROBE_WRK=path\n");
  readArguments();
}

// ixmark's order: the arguments first, then the title when verbose, then the work folder.
void Run::startArgumentsFirst() {
  readArguments();
  if (s_.verbose) title(v_, out_);
  lookUpWrk(false);
}

// The command line and the work folder, in the order each program has always taken them.
void Run::startUp() {
  if (args_.empty()) {
    title(v_, out_);
    std::fprintf(out_, "%s\n", v_.usage);
    stop(1);
  }
  if (v_.wrkBeforeArgs)
    startWorkFolderFirst();
  else
    startArgumentsFirst();
  s_.ichflg = !config_.getenv2("dbcdx.file.ichrs").empty();
  if (s_.ichflg && s_.verbose) std::fprintf(out_, "dbcdx.file.ichrs is ON\n");
}

WorkNames Run::workNames() const {
  const std::string stem = s_.wrkpth + "/" + baseName(s_.orgnam);
  return {stem + ".TAG", stem + ".SRT", stem + ".ERR", stem + ".PRP", stem + ".DBG"};
}

File Run::createWorkFile(const std::string& path, const char* what) {
  File f = create(path, out_);
  if (s_.verbose) std::fprintf(out_, "Create %s %s\n", what, path.c_str());
  return f;
}

WorkFiles Run::createWorkFiles(const WorkNames& n) {
  WorkFiles w;
  w.tag = createWorkFile(n.tag, "temp file");
  w.err = createWorkFile(n.err, "error file");
  w.prp = createWorkFile(n.prp, "properties file");
  w.dbg = createWorkFile(n.dbg, "debug file");
  return w;
}

Opened Run::openOrStop(const std::string& name, const char* ext, const char* what) {
  Opened o = opnfil(name, ext, kIxmarkOpen, config_);
  if (!o.fd) {
    std::fprintf(out_, "Error opening %s \n", name.c_str());
    stop(1);
  }
  if (s_.verbose) std::fprintf(out_, "Open %s %s\n", what, o.fulnam.c_str());
  return o;
}

IndexHeader Run::readIndexHeader(const Opened& isi) {
  unsigned char hdr[kHeaderSize] = {};
  if (preadFull(isi.fd.get(), hdr, sizeof hdr, 0) < 0) readError(out_, isi.fulnam);
  return readHeader(hdr, s_.orgnam, s_.verbose, out_);
}

// "Seek error" ends the run with status 0, as it always has.
void Run::seekOrStop(int fd, off_t to, int whence, off_t& at) {
  at = lseek(fd, to, whence);
  if (at < 0) {
    std::fprintf(out_, "Seek error\n");
    stop(0);
  }
}

DataFile Run::openDataFile(const IndexHeader& h) {
  DataFile d{openOrStop(h.txtnam, "TXT", "text file")};
  const int fd = d.txt.fd.get();
  // A folder opens like a file, and may even seek to an end, but it has no bytes to read.
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) readError(out_, d.txt.fulnam);
  off_t end, start;
  seekOrStop(fd, 0, SEEK_END, end);
  d.eofpos = static_cast<std::uint64_t>(end) - 1;
  const bool verbose = s_.verbose;
  if (verbose)
    std::fprintf(out_, "EOF position is %llu\n", static_cast<unsigned long long>(d.eofpos));
  unsigned char last;
  if (end > 0) {
    ssize_t n = preadFull(fd, &last, 1, end - 1);
    if (n < 0) readError(out_, d.txt.fulnam);
    if (n == 1) d.eofchr = last;
  }
  seekOrStop(fd, 0, SEEK_SET, start);
  if (verbose) std::fprintf(out_, d.eofchr == 0xFB ? "DBC type file\n" : "Text type file\n");
  if (verbose) std::fprintf(out_, "Key size is %i\n", h.keysiz);
  return d;
}

// One tag per index entry, written to the tag file and closed there.
void Run::writeTags(const Opened& isi, const IndexHeader& h, File& tagfile,
                    const std::string& tagflnm) {
  TagWriter writer(v_, s_.ichflg, s_.collate, h.keysiz, s_.verbose, tagfile.get(), out_);
  if (std::thread::hardware_concurrency() > 1) {
    WalkAhead(isi.fd.get(), h, s_.orgnam, out_, isi.fulnam, s_.ichflg, writer).walk(writer);
  } else {
    IsamWalk(isi.fd.get(), h, s_.orgnam, out_, isi.fulnam)
        .walk([&](const IndexEntry& e) { writer.wrttag1(e); }, s_.ichflg);
  }
  if (findings_) findings_->entries = writer.reccnt1;
  if (s_.verbose) std::fprintf(out_, "\r%li records in index file\n", writer.reccnt1);
  if (writer.tagerr2 > 0)
    std::fprintf(out_, "%li index keys contained invalid characters\n", writer.tagerr2);
  bool tagOk = writer.finish();
  if (v_.compressedTags) std::fputc(0xFB, tagfile.get());
  closeWorkFile(tagfile, tagflnm, out_, tagOk);
}

void Run::sortTags(const WorkNames& n, int keysiz) {
  removeEarlierSorted(n.srt, out_);
  SortCommand cmd = sortCommand(v_, n.tag, n.srt, keysiz);
  if (s_.verbose) std::fprintf(out_, "%s\n", cmd.shown.c_str());
  endAsTheSortEnded(context_.shell(cmd.run), out_);
  if (s_.verbose) std::fprintf(out_, "Sort complete\n");
}

// The sorted tags against the data file, through the reader of the program's tag format.
MergeResult Run::compareWithData(const IndexHeader& h, const DataFile& d, const WorkNames& n,
                                 RecordReader& rec, WorkFiles& w) {
  if (v_.compressedTags) {
    Fd srtf = openFile(n.srt, O_RDONLY);
    if (!srtf) {
      std::fprintf(out_, "Error opening %s \n", n.srt.c_str());
      stop(1);
    }
    if (std::thread::hardware_concurrency() > 1) {
      PrefetchedTags sorted(std::move(srtf), s_.ichflg, out_, n.srt);
      return merge([&](std::string& b) { return sorted.getsrt(b); }, rec, h.keysiz, d.eofpos,
                   w.err.get(), w.dbg.get(), out_);
    }
    CompressedSorted sorted(std::move(srtf), s_.ichflg, out_, 1 << 16, n.srt);
    return merge([&](std::string& b) { return sorted.getsrt(b); }, rec, h.keysiz, d.eofpos,
                 w.err.get(), w.dbg.get(), out_);
  }
  std::FILE* f = std::fopen(n.srt.c_str(), "r");
  if (!f) {
    std::fprintf(out_, "Error opening %s \n", n.srt.c_str());
    stop(1);
  }
  TextSorted sorted(f, kTagKeyAt + h.keysiz + 1, out_, n.srt);  // the tag and its newline
  return merge([&](std::string& b) { return sorted.read(b); }, rec, h.keysiz, d.eofpos, w.err.get(),
               w.dbg.get(), out_);
}

// The properties, the work files closed, and every one removed but for the findings of a run
// that found disagreements.
void Run::cleanUp(const RecordReader& rec, const MergeResult& result, const WorkNames& n,
                  WorkFiles& w) {
  const bool verbose = s_.verbose;
  if (verbose) std::fprintf(out_, "\r%li records in data file\n", rec.reccnt2);
  char prp[96];
  std::snprintf(prp, sizeof prp, "Compression=%i Min=%i Max=%i", rec.comprs, rec.minsiz,
                rec.maxsiz);
  if (verbose) std::fprintf(out_, "%s\n", prp);
  std::fprintf(w.prp.get(), "%s\n", prp);
  closeWorkFile(w.err, n.err, out_);
  closeWorkFile(w.prp, n.prp, out_);
  closeWorkFile(w.dbg, n.dbg, out_);
  std::remove(n.tag.c_str());
  std::remove(n.srt.c_str());
  if (result.errcnt == 0) {
    std::remove(n.err.c_str());
    std::remove(n.prp.c_str());
    std::remove(n.dbg.c_str());
  }
  if (verbose) std::fprintf(out_, "%li errors\n", result.errcnt);
}

int Run::go() {
  startUp();
  const WorkNames names = workNames();
  Opened isi = openOrStop(s_.orgnam, "ISI", "index file");
  WorkFiles files = createWorkFiles(names);
  const IndexHeader h = readIndexHeader(isi);
  const DataFile data = openDataFile(h);
  writeTags(isi, h, files.tag, names.tag);
  sortTags(names, h.keysiz);
  RecordReader rec(data.txt.fd.get(), data.eofpos, data.eofchr, h, s_.ichflg, s_.collate,
                   s_.verbose, out_, data.txt.fulnam);
  const MergeResult result = compareWithData(h, data, names, rec, files);
  if (findings_) {
    findings_->errors = result.errcnt;
    findings_->compared = true;
  }
  cleanUp(rec, result, names, files);
  return 0;
}

}  // namespace

int run(const Variant& variant, const std::vector<std::string>& args, Context& context,
        Findings* findings) {
  return Run(variant, args, context, findings).go();
}

int run(const std::vector<std::string>& args, Context& context) {
  return run(kIxmark, args, context);
}

}  // namespace dbc::ixmark

namespace dbc::ixmark3 {

int run(const std::vector<std::string>& args, Context& context) {
  return ixmark::run(ixmark::kIxmark3, args, context);
}

}  // namespace dbc::ixmark3
