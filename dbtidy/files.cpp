#include "dbtidy/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/stop.hpp"
#include "dbtidy/srcpath.hpp"

namespace dbtidy {

namespace {

constexpr std::size_t kCopyBlock = 4096;

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string tempDir() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? t : "/tmp";
}

}  // namespace

void Files::getinp(const std::string& name, const std::string& path) {
  typedName_ = name;
  infilename_ = searchpath(name, path);
  if (infilename_.empty()) infilename_ = name;
  dbc::Fd fd = dbc::openFile(infilename_, O_RDONLY);
  if (!fd) {
    std::fprintf(out_, "\nUnable to open input file : %s\n\n", infilename_.c_str());
    throw dbc::Stop{1};
  }
  std::fprintf(out_, "Input File : %s\n", infilename_.c_str());
  inf_ = std::make_unique<LineReader>(std::move(fd), counters_, s_.verbose ? out_ : nullptr);
}

void Files::refuseInput(const std::string& name, const char* what) {
  std::fprintf(out_, "\n%s : %s \nis the input file itself, refused\n\n", what, name.c_str());
  throw dbc::Stop{1};
}

void Files::getout(const char* name, const std::string& path) {
  std::FILE* trace = s_.verbose ? out_ : nullptr;
  if (s_.up_in_place == 1) {
    dbc::Fd fd;
    if (!s_.wkfname.empty()) {
      wkfname_ = s_.wkfname;
      // Truncating the input as its own work file would lose it before a line is read.
      if (sameFile(wkfname_, infilename_)) refuseInput(wkfname_, "Work file");
      std::fprintf(out_, "Creating Temporary File : %s\n", wkfname_.c_str());
      fd = dbc::openFile(wkfname_, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    } else {
      // Created with its name in one step, so nothing can be planted under it in between.
      std::string tmpl = tempDir() + "/dbtidyXXXXXX";
      std::vector<char> name(tmpl.begin(), tmpl.end());
      name.push_back('\0');
      int raw = ::mkostemp(name.data(), O_CLOEXEC);
      wkfname_ = name.data();
      std::fprintf(out_, "Creating Temporary File : %s\n", wkfname_.c_str());
      fd = dbc::Fd(raw);
    }
    if (!fd) {
      std::fprintf(out_, "\nUnable to Create Output File : %s\n\n", wkfname_.c_str());
      throw dbc::Stop{1};
    }
    outf_ = std::make_unique<LineWriter>(std::move(fd), counters_, trace);
    return;
  }

  if (!name || name[0] == '-') {
    std::fprintf(out_, "No Output file Indicated !\n");
    throw dbc::Stop{1};
  }
  outfilename_ = searchpath(name, path);
  if (outfilename_.empty()) outfilename_ = name;
  if (s_.ovrwrit != 1) {
    dbc::Fd probe = dbc::openFile(outfilename_, O_RDONLY);
    if (probe) {
      std::fprintf(out_, "\nOutput File : %s \nAlready Exists !! \n\n", outfilename_.c_str());
      throw dbc::Stop{1};
    }
  }
  if (sameFile(outfilename_, infilename_)) refuseInput(outfilename_, "Output File");
  dbc::Fd fd = dbc::openFile(outfilename_, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (!fd) {
    std::fprintf(out_, "\nUnable to Create Output File : %s\n\n", outfilename_.c_str());
    throw dbc::Stop{1};
  }
  std::fprintf(out_, "Output file : %s\n", outfilename_.c_str());
  outf_ = std::make_unique<LineWriter>(std::move(fd), counters_, trace);
}

void Files::readFailed() {
  std::fprintf(out_, "\nError reading input file : %s\n\n", infilename_.c_str());
  throw dbc::Stop{1};
}

void Files::closeAll() {
  bool written = outf_->close();
  inf_.reset();
  if (!written) {
    // A work file that lacks lines must never be copied over the source.
    const std::string& target = s_.up_in_place == 1 ? wkfname_ : outfilename_;
    std::fprintf(out_, "\nError writing output file : %s\n\n", target.c_str());
    if (s_.up_in_place == 1) {
      // The source is untouched and an incomplete work file of our own making holds nothing it
      // lacks. A work file named with -F is the user's: it may be anything, even a device, so
      // it is left where it is.
      if (s_.wkfname.empty()) ::unlink(wkfname_.c_str());
      std::fprintf(out_, "Original Source File left unchanged : %s\n", infilename_.c_str());
    }
    throw dbc::Stop{1};
  }
}

void Files::copy_temp_back() {
  std::fprintf(out_, "Copying Back Over Original Source File\n");
  dbc::Fd work = dbc::openFile(wkfname_, O_RDONLY);
  if (!work) {
    std::fprintf(out_, "\nFatal Error : Unable to re-open temporary file : %s \n",
                 wkfname_.c_str());
    throw dbc::Stop{1};
  }
  // The source itself is rewritten (not replaced), so its inode, owner and links stay.
  dbc::Fd source = dbc::openFile(infilename_, O_WRONLY | O_TRUNC);
  if (!source) {
    std::fprintf(out_, "\nFatal Error : Unable to re-open Original Source file : %s \n",
                 typedName_.c_str());
    throw dbc::Stop{1};
  }
  std::fprintf(out_, "Outputing to : %s\n", infilename_.c_str());
  char cb_buff[kCopyBlock];
  bool ok = true;
  for (;;) {
    ssize_t n = dbc::readFull(work.get(), cb_buff, sizeof cb_buff);
    if (n < 0 || (n > 0 && !dbc::writeFull(source.get(), cb_buff, static_cast<std::size_t>(n)))) {
      ok = false;
      break;
    }
    if (static_cast<std::size_t>(n) < sizeof cb_buff) break;
  }
  if (ok && ::fsync(source.get()) != 0 && errno != EINVAL && errno != EROFS) ok = false;
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
  if (std::remove(wkfname_.c_str()) != 0) {
    std::fprintf(out_, "Error Deleting Temp File\n");
    throw dbc::Stop{1};
  }
}

}  // namespace dbtidy
