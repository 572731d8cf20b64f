#include "dbtidy/files.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/stop.hpp"
#include "dbtidy/srcpath.hpp"

namespace dbc::dbtidy {

namespace {

constexpr std::size_t kCopyBlock = 4096;

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool sameFile(int a, int b) {
  struct stat sa, sb;
  if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

mode_t typeOf(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 ? st.st_mode & S_IFMT : 0;
}

double now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// A sync that the file system cannot do (EINVAL) or need not do (EROFS) is no failure.
bool synced(int rc) { return rc == 0 || errno == EINVAL || errno == EROFS; }

// The new entry of a file is only on disk once its folder is synced.
bool syncFolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  dbc::Fd dir = dbc::openFile(folder, O_RDONLY | O_DIRECTORY);
  return !dir || synced(::fsync(dir.get()));
}

// Beside the three signals the run answers itself, every other one that would end the process
// waits too while the source is rewritten: ^\ from a terminal, SIGPIPE from a log pipe whose
// reader went away. One that arrived meanwhile takes effect once the copy back is done.
class EverySignalHeld {
 public:
  EverySignalHeld() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old_);
  }
  ~EverySignalHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  EverySignalHeld(const EverySignalHeld&) = delete;
  EverySignalHeld& operator=(const EverySignalHeld&) = delete;

 private:
  sigset_t old_;
};

// The work file into the source, block by block; a short block is the last. False when a read
// or a write failed: unlike the end of the file, a failed read must not pass for a copy done.
bool copyBlocks(const dbc::Fd& work, const dbc::Fd& source) {
  char cb_buff[kCopyBlock];
  for (;;) {
    ssize_t n = dbc::readFull(work.get(), cb_buff, sizeof cb_buff);
    if (n < 0 || (n > 0 && !dbc::writeFull(source.get(), cb_buff, static_cast<std::size_t>(n)))) {
      return false;
    }
    if (static_cast<std::size_t>(n) < sizeof cb_buff) return true;
  }
}

}  // namespace

Files::~Files() { discardWork(); }

std::string Files::tempDir() const {
  const char* t = context_.env("TMPDIR");
  return t && *t ? t : "/tmp";
}

void Files::cannotOpenInput() {
  std::fprintf(out_, "\nUnable to open input file : %s\n\n", infilename_.c_str());
  throw dbc::Stop{1};
}

void Files::getinp(const std::string& name, const std::string& path) {
  typedName_ = name;
  infilename_ = searchpath(name, path);
  if (infilename_.empty()) infilename_ = name;
  const bool inPlace = s_.inPlace();
  // The source is written back where it was read; a FIFO or a device cannot take that (opening
  // a FIFO alone would wait for a writer), so it is refused before it is opened.
  struct stat st;
  auto notForUpdate = [&](mode_t type) {
    if (type == S_IFREG || type == S_IFDIR || !inPlace) return;
    std::fprintf(out_, "\nUnable to update in place, not a regular file : %s\n\n",
                 infilename_.c_str());
    throw dbc::Stop{1};
  };
  if (::stat(infilename_.c_str(), &st) == 0) notForUpdate(st.st_mode & S_IFMT);
  dbc::Fd fd = dbc::openFile(infilename_, O_RDONLY);
  // A folder opens, but reading it fails: it is no more a source than a missing file.
  if (!fd || typeOf(fd.get()) == S_IFDIR) cannotOpenInput();
  notForUpdate(typeOf(fd.get()));
  std::fprintf(out_, "Input File : %s\n", infilename_.c_str());
  lockSource(fd);
  inf_ = std::make_unique<LineReader>(std::move(fd), counters_, s_.verbose ? out_ : nullptr);
}

void Files::lockSource(const dbc::Fd& input) {
  const bool inPlace = s_.inPlace();
  // A network file system takes an exclusive lock only on a descriptor open for writing; a
  // source to be updated must be writable anyway. Failing that, the read descriptor serves.
  dbc::Fd lk;
  if (inPlace) {
    lk = dbc::openFile(infilename_, O_RDWR | O_NONBLOCK);
    if (lk && !sameFile(lk.get(), input.get())) lk.reset();
  }
  if (!lk) lk = dbc::Fd(::fcntl(input.get(), F_DUPFD_CLOEXEC, 3));
  const double giveUp = now() + lockWait_;
  bool told = false;
  for (;;) {
    if (::flock(lk.get(), (inPlace ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) break;
    if (errno == EINTR) continue;
    // A file system without locks: the run goes on as it would have without them.
    if (errno != EWOULDBLOCK) return;
    if (now() >= giveUp) {
      std::fprintf(out_, "\nSource file in use by another run, left unchanged : %s\n\n",
                   infilename_.c_str());
      throw dbc::Stop{1};
    }
    if (!told) {
      std::fprintf(out_, "Waiting for another run on : %s\n", infilename_.c_str());
      std::fflush(out_);
      told = true;
    }
    ::usleep(20000);
  }
  lock_ = std::move(lk);
}

void Files::refuseInput(const std::string& name, const char* what) {
  std::fprintf(out_, "\n%s : %s \nis the input file itself, refused\n\n", what, name.c_str());
  throw dbc::Stop{1};
}

void Files::refuseWork() {
  std::fprintf(out_, "\nWork file : %s \nis not a regular file, refused\n\n", wkfname_.c_str());
  throw dbc::Stop{1};
}

dbc::Fd Files::createWorkFile() {
  // Created and registered for removal in one step, so a signal in between leaves nothing behind.
  dbc::SignalsHeld held;
  dbc::Fd fd;
  if (!s_.wkfname.empty()) {
    // Never through a link, and without waiting on a FIFO that slipped in since it was looked at;
    // nothing is cut before the file is known to be a regular file.
    fd = dbc::openFile(wkfname_, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd && typeOf(fd.get()) != S_IFREG) refuseWork();
    if (fd && ::ftruncate(fd.get(), 0) != 0) fd.reset();
  } else {
    // Created with its name in one step, so nothing can be planted under it in between.
    std::string tmpl = tempDir() + "/dbtidyXXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    fd = dbc::Fd(::mkostemp(name.data(), O_CLOEXEC));
    wkfname_ = name.data();
  }
  if (fd) {
    workOnSignal_ = dbc::RemoveOnSignal(wkfname_);
    workUnfinished_ = true;
  }
  return fd;
}

void Files::getout(const char* name, const std::string& path) {
  if (s_.inPlace()) {
    getWorkFile();
  } else {
    getOutputFile(name, path);
  }
}

void Files::getWorkFile() {
  if (!s_.wkfname.empty()) {
    wkfname_ = s_.wkfname;
    // Truncating the input as its own work file would lose it before a line is read.
    if (sameFile(wkfname_, infilename_)) refuseInput(wkfname_, "Work file");
    // A device, FIFO, folder or link is no work file: it would be emptied, copied from and
    // removed at the end (as root, a device node with it).
    struct stat st;
    if (::lstat(wkfname_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) refuseWork();
    std::fprintf(out_, "Creating Temporary File : %s\n", wkfname_.c_str());
  }
  dbc::Fd fd = createWorkFile();
  if (s_.wkfname.empty()) std::fprintf(out_, "Creating Temporary File : %s\n", wkfname_.c_str());
  // The name must be out before there is anything to recover from the file: should the run
  // be killed during its copy back, the work file holds the only whole copy. When standard
  // output cannot take it, standard error gets the same line.
  if (std::fflush(out_) != 0 || std::ferror(out_)) {
    std::fprintf(context_.err, "Creating Temporary File : %s\n", wkfname_.c_str());
  }
  if (!fd) {
    std::fprintf(out_, "\nUnable to Create Output File : %s\n\n", wkfname_.c_str());
    throw dbc::Stop{1};
  }
  outf_ = std::make_unique<LineWriter>(std::move(fd), counters_, s_.verbose ? out_ : nullptr);
}

void Files::getOutputFile(const char* name, const std::string& path) {
  if (!name || name[0] == '-') {
    std::fprintf(out_, "No Output file Indicated !\n");
    throw dbc::Stop{1};
  }
  // An output name found in a source folder designates that file; otherwise the file is made
  // under the name as typed.
  outfilename_ = searchpath(name, path);
  if (outfilename_.empty()) outfilename_ = name;
  if (!s_.ovrwrit) {
    // A FIFO, a device or a folder exists all the same; opening a FIFO to find out would wait
    // for a writer.
    struct stat st;
    bool special = ::stat(outfilename_.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    if (special || dbc::openFile(outfilename_, O_RDONLY)) {
      std::fprintf(out_, "\nOutput File : %s \nAlready Exists !! \n\n", outfilename_.c_str());
      throw dbc::Stop{1};
    }
  }
  if (sameFile(outfilename_, infilename_)) refuseInput(outfilename_, "Output File");
  // Written where it is, never replaced: a device or FIFO (/dev/stdout, a reader's pipe) named
  // as the output gets the formatted text and stays what it is.
  dbc::Fd fd = dbc::openFile(outfilename_, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (!fd) {
    std::fprintf(out_, "\nUnable to Create Output File : %s\n\n", outfilename_.c_str());
    throw dbc::Stop{1};
  }
  std::fprintf(out_, "Output file : %s\n", outfilename_.c_str());
  outf_ = std::make_unique<LineWriter>(std::move(fd), counters_, s_.verbose ? out_ : nullptr);
}

void Files::discardWork() {
  if (!workUnfinished_) return;
  // Only ever a regular file of this run's making (or emptying): a partial one could be taken
  // for the formatted source.
  ::unlink(wkfname_.c_str());
  workOnSignal_.release();
  workUnfinished_ = false;
}

void Files::readFailed() {
  std::fprintf(out_, "\nError reading input file : %s\n\n", infilename_.c_str());
  if (s_.inPlace()) {
    discardWork();
    std::fprintf(out_, "Original Source File left unchanged : %s\n", infilename_.c_str());
  }
  throw dbc::Stop{1};
}

void Files::closeAll() {
  const bool inPlace = s_.inPlace();
  // The work file is about to become the only whole copy of the source: on disk, entry included,
  // before the source is cut.
  bool written = outf_->close(inPlace);
  if (written && inPlace && !syncFolderOf(wkfname_)) written = false;
  inf_.reset();
  if (!written) {
    // A work file that lacks lines must never be copied over the source.
    const std::string& target = inPlace ? wkfname_ : outfilename_;
    std::fprintf(out_, "\nError writing output file : %s\n\n", target.c_str());
    if (inPlace) {
      discardWork();
      std::fprintf(out_, "Original Source File left unchanged : %s\n", infilename_.c_str());
    }
    throw dbc::Stop{1};
  }
}

void Files::copy_temp_back() {
  std::fprintf(out_, "Copying Back Over Original Source File\n");
  std::fflush(out_);
  // From here the source is cut and rewritten: no signal may end the run half way. One that
  // comes takes effect once the copy back is done and said, source and work file settled.
  dbc::SignalsHeld held;
  EverySignalHeld others;
  try {
    copyHeld();
  } catch (...) {
    std::fflush(out_);
    throw;
  }
  std::fflush(out_);
  lock_.reset();
}

void Files::copyHeld() {
  // The work file is complete: whatever happens now, it is kept unless the copy back succeeds.
  workOnSignal_.release();
  workUnfinished_ = false;
  dbc::Fd work = dbc::openFile(wkfname_, O_RDONLY);
  if (!work) {
    std::fprintf(out_, "\nFatal Error : Unable to re-open temporary file : %s \n",
                 wkfname_.c_str());
    throw dbc::Stop{1};
  }
  // The source itself is rewritten (not replaced), so its inode, owner and links stay.
  dbc::Fd source = dbc::openFile(infilename_, O_WRONLY | O_TRUNC);
  if (!source) {
    // This one message names the source as it was typed, not as it was found along the path.
    std::fprintf(out_, "\nFatal Error : Unable to re-open Original Source file : %s \n",
                 typedName_.c_str());
    throw dbc::Stop{1};
  }
  std::fprintf(out_, "Outputing to : %s\n", infilename_.c_str());
  bool ok = copyBlocks(work, source);
  // The work file goes only once the rewritten source is on disk.
  if (ok && !synced(::fsync(source.get()))) ok = false;
  if (!source.close()) ok = false;
  work.close();
  if (!ok) {
    std::fprintf(out_,
                 "\nFatal Error : Copy back failed, the formatted source is kept in : %s \n\n",
                 wkfname_.c_str());
    throw dbc::Stop{1};
  }
  std::fprintf(out_, "Copy back Complete\n");
  std::fprintf(out_, "Deleting Temporary File\n");
  // The source is rewritten by now; the status still says the run did not end clean, so that a
  // work file left behind does not go unnoticed.
  if (std::remove(wkfname_.c_str()) != 0) {
    std::fprintf(out_, "Error Deleting Temp File\n");
    throw dbc::Stop{1};
  }
}

}  // namespace dbc::dbtidy
