#include "recscan/run.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/config.hpp"
#include "common/format.hpp"
#include "common/io.hpp"
#include "common/opnfil.hpp"
#include "common/shell.hpp"
#include "common/signals.hpp"
#include "recscan/dmf.hpp"
#include "recscan/report.hpp"

namespace dbc::recscan {

namespace {

using ll = long long;

const char kErase[] = "\r";  // back to the start of the progress line

// Whether one block holds a carriage return directly followed by a line feed.
bool hasCrlf(const unsigned char* p, const unsigned char* end) {
  while ((p = static_cast<const unsigned char*>(std::memchr(p, '\r', end - p))) != nullptr) {
    if (++p < end && *p == '\n') return true;
  }
  return false;
}

}  // namespace

void printReadFailure(std::FILE* out, const std::string& fulnam, const ReadFailure& failure) {
  std::fprintf(out, "Error reading %s at offset %lli: %s\n", fulnam.c_str(),
               static_cast<ll>(failure.offset), std::strerror(failure.error));
}

std::optional<bool> endsWithEofMark(const DataFile& file, ReadFailure& failure) {
  if (file.eofpos <= 0) return false;
  unsigned char eofchr = 0;
  ssize_t got = preadFull(file.inf, &eofchr, 1, file.eofpos - 1);
  if (got < 0) {
    failure = ReadFailure{file.eofpos - 1, errno};
    return std::nullopt;
  }
  return got == 1 && eofchr == kEofMark;
}

std::optional<FileType> fileType(const DataFile& file, ReadFailure& failure) {
  std::optional<bool> dbc = endsWithEofMark(file, failure);
  if (!dbc) return std::nullopt;
  if (*dbc) return FileType::kDbc;
  std::vector<unsigned char> buffer(kBlockSize);
  for (std::int64_t pos = 0;;) {
    ssize_t bytes = preadFull(file.inf, buffer.data(), kBlockSize, pos);
    if (bytes < 0) {
      failure = ReadFailure{pos, errno};
      return std::nullopt;
    }
    if (bytes == 0) return FileType::kText;
    // Only pairs inside one block count; one split across two blocks has never been seen.
    if (hasCrlf(buffer.data(), buffer.data() + bytes)) return FileType::kCrlf;
    pos += bytes;
  }
}

bool scanBlocks(const DataFile& file, Scanner& scan, bool progress, std::FILE* out,
                ReadFailure& failure) {
  std::vector<unsigned char> buffer(kBlockSize);
  bool written = true;
  int filpct2 = 0;
  for (std::int64_t curpos = 0;;) {
    ssize_t bytes = preadFull(file.inf, buffer.data(), kBlockSize, curpos);
    if (bytes < 0) {
      failure = ReadFailure{curpos, errno};
      break;
    }
    if (bytes == 0) break;
    const std::size_t n = static_cast<std::size_t>(bytes);
    bool back = file.filtyp == FileType::kDbc ? scan.processBuffer(buffer.data(), n, curpos)
                                              : scan.processBuffer2(buffer.data(), n, curpos);
    if (back && !pwriteFull(file.inf, buffer.data(), n, curpos)) {
      std::fprintf(out, "Error writing %s at offset %lli\n", file.fulnam.c_str(),
                   static_cast<ll>(curpos));
      written = false;
    }
    curpos += bytes;
    // A file that grew since its size was taken must not divide by nothing.
    int filpct = file.eofpos > 0 ? static_cast<int>(curpos * 100 / file.eofpos) : 100;
    if (progress && filpct != filpct2) {
      std::fprintf(out, "%s%3i%%", kErase, filpct);
      std::fflush(out);
    }
    filpct2 = filpct;
  }
  return written;
}

namespace {

// The run's steps in their order, each with what it leaves for the next.
class Run {
 public:
  Run(Settings& settings, Context& context)
      : s_(settings), c_(context), config_(kRecscanConfig, context.env, context.out) {}

  int go();

 private:
  void readIchrs();
  void printOptions() const;
  bool open();
  bool decideType();
  void lookUpDefinition();
  void printType() const;
  int scanAndReport();

  Settings& s_;
  Context& c_;
  Config config_;
  std::string filnam_;  // the bare name with its extension, as opnfil leaves it
  Fd fd_;
  DataFile file_;
  // A text file's CR LF pairs are looked for by the scan itself, not by a pass of their own.
  bool typeLater_ = false;
};

int Run::go() {
  if (!s_.sumflg) std::fprintf(c_.out, "Recscan utility May 31, 2021\n");
  // The usage text is no part of the summary, yet the mirroring scripts have always got it there.
  if (s_.hlpflg || !s_.filflg) {
    printUsage(c_.out);
    return 0;
  }
  readIchrs();
  if (!s_.sumflg) printOptions();
  if (!open()) return 1;
  if (!s_.sumflg) std::fprintf(c_.out, "%s\n", file_.fulnam.c_str());
  if (!decideType()) return 1;
  lookUpDefinition();
  if (!s_.sumflg && !typeLater_) printType();
  return scanAndReport();
}

void Run::readIchrs() {
  std::string retval = config_.getenv2("dbcdx.file.ichrs");
  if (retval.empty()) retval = config_.getenv2("DBC_ICHRS");
  // Exactly these two spellings: "On" leaves the switch off.
  s_.ichflg = retval == "on" || retval == "ON";
}

void Run::printOptions() const {
  if (s_.fixflg != FixMode::kNone) {
    std::fprintf(c_.out, "Fix option is %i\n", static_cast<int>(s_.fixflg));
  }
  if (s_.dbgflg) std::fprintf(c_.out, "Debug option is set\n");
  if (s_.verflg) std::fprintf(c_.out, "Verbose option is set\n");
  if (s_.ichflg) std::fprintf(c_.out, "Ichrs option is set\n");
}

// Read and write whatever the fix mode: a user who may not change the file is refused even for
// a check that changes nothing, as the program always has.
bool Run::open() {
  // The names have always lived in 100-byte buffers; a longer one is refused, not cut short.
  if (s_.filnam.size() > kNameMax) {
    std::fprintf(c_.out, "File name longer than %zu characters: %s\n", kNameMax, s_.filnam.c_str());
    return false;
  }
  Opened opened = opnfil(s_.filnam, "TXT", kRecscanOpen, config_);
  filnam_ = std::move(opened.name);
  if (!opened.fd.valid()) {
    std::fprintf(c_.out, "Error opening %s\n", filnam_.c_str());
    return false;
  }
  fd_ = std::move(opened.fd);
  file_.inf = fd_.get();
  file_.fulnam = std::move(opened.fulnam);
  return true;
}

bool Run::decideType() {
  struct stat st;
  file_.eofpos = ::fstat(file_.inf, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
  ReadFailure failure;
  // The type line comes before anything the scan prints: only when the scan prints nothing
  // (or the type shows in the summary line alone) can it wait for the scan to find the pairs.
  const bool scanSilent = !s_.dbgflg && !s_.verflg && s_.fixflg == FixMode::kNone;
  std::optional<FileType> type;
  if (s_.sumflg || scanSilent) {
    std::optional<bool> dbc = endsWithEofMark(file_, failure);
    if (dbc) type = *dbc ? FileType::kDbc : FileType::kText;
    typeLater_ = dbc && !*dbc;
  } else {
    type = fileType(file_, failure);
  }
  if (!type) {
    printReadFailure(c_.out, file_.fulnam, failure);
    return false;
  }
  file_.filtyp = *type;
  return true;
}

// Looked up for text files too, though only a DB/C type file's scan uses what it says.
void Run::lookUpDefinition() {
  char tmpfil[64];
  std::snprintf(tmpfil, sizeof tmpfil, "/tmp/%d.pid", static_cast<int>(c_.pid));
  const char* root = c_.getenv("QLON_ROOT");
  // Registered before the file exists, so that no moment of its life is left uncovered.
  RemoveOnSignal scratch(tmpfil);
  if (createTemp(tmpfil, c_.out)) {
    s_.dmf = getdmf(filnam_, dmfDir(root), tmpfil, c_);
    c_.shell("rm " + shellWord(tmpfil));
  }
}

void Run::printType() const {
  static const char* const kTypes[] = {"DBC type file", "Text type file", "CRLF type file"};
  std::fprintf(c_.out, "%s\n", kTypes[static_cast<int>(file_.filtyp) - 1]);
  if (file_.filtyp != FileType::kDbc) return;
  switch (s_.dmf.cmpflg1) {
    case Compression::kNotConfigured:
      std::fprintf(c_.out, "Compression is NOT configured.\n");
      break;
    case Compression::kConfigured:
      std::fprintf(c_.out, "Compression is configured.\n");
      break;
    case Compression::kUndefined:
      std::fprintf(c_.out, "Compression not defined.\n");
      break;
  }
}

int Run::scanAndReport() {
  Scanner scan(s_, c_.out);
  ReadFailure failure;
  // Processor time, not elapsed time: the report has always measured the work, not the wait.
  const std::clock_t start = c_.clock();
  const bool written = scanBlocks(file_, scan, s_.verflg && !s_.sumflg, c_.out, failure);
  const std::clock_t end = c_.clock();
  if (typeLater_ && !failure.failed()) {
    file_.filtyp = scan.crlf ? FileType::kCrlf : FileType::kText;
    if (!s_.sumflg) printType();
  }
  // Back to the start of the line under -s too, though no progress was shown there: the summary
  // line has always followed that carriage return, and the mirroring scripts read it so.
  if (s_.verflg) std::fprintf(c_.out, "%s", kErase);
  // Counts of part of the file must not pass for the file's: no report, no summary line.
  if (failure.failed()) {
    printReadFailure(c_.out, file_.fulnam, failure);
    return 1;
  }
  ReportFacts facts;
  facts.filnam = filnam_;
  facts.filtyp = file_.filtyp;
  facts.runtim = static_cast<double>(end - start) * 1000000.0 / CLOCKS_PER_SEC / 1000000 / 60;
  if (s_.sumflg) {
    printSummary(c_.out, scan, facts);
  } else {
    printReport(c_.out, scan, facts);
  }
  return written ? 0 : 1;
}

}  // namespace

int run(const std::vector<std::string>& args, Context& context) {
  Settings settings = parseArgs(args);
  return Run(settings, context).go();
}

}  // namespace dbc::recscan
