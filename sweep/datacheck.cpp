#include "sweep/datacheck.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/io.hpp"
#include "recscan/dmf.hpp"
#include "recscan/report.hpp"
#include "recscan/run.hpp"

namespace dbc::sweep {

namespace {

using recscan::FileType;

std::string baseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string readError(const recscan::ReadFailure& f) {
  return "read error at offset " + std::to_string(f.offset) + ": " + std::strerror(f.error);
}

// The block loop of recscan without its write-back: a scan without a fix mode asks for none.
bool scanAll(const recscan::DataFile& file, recscan::Scanner& scan, recscan::ReadFailure& failure,
             std::atomic<std::int64_t>& done, const std::atomic<bool>& stop) {
  std::vector<unsigned char> buffer(recscan::kBlockSize);
  for (std::int64_t curpos = 0;;) {
    if (stop) return false;
    ssize_t bytes = preadFull(file.inf, buffer.data(), buffer.size(), curpos);
    if (bytes < 0) {
      failure = recscan::ReadFailure{curpos, errno};
      return true;
    }
    if (bytes == 0) return true;
    const std::size_t n = static_cast<std::size_t>(bytes);
    if (file.filtyp == FileType::kDbc) {
      scan.processBuffer(buffer.data(), n, curpos);
    } else {
      scan.processBuffer2(buffer.data(), n, curpos);
    }
    curpos += bytes;
    done += bytes;
  }
}

}  // namespace

Result checkData(const std::string& path, const DataCheck& check, Context& context,
                 std::atomic<std::int64_t>& done, const std::atomic<bool>& stop) {
  Result r = resultOf(path, Kind::kData, Verdict::kError);
  Fd fd = openFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
    r.reason = std::strerror(errno);
    return r;
  }
  if (!S_ISREG(st.st_mode)) {
    r.reason = "not a regular file";
    return r;
  }
  recscan::DataFile file;
  file.inf = fd.get();
  file.fulnam = path;
  file.eofpos = st.st_size;
  r.size = file.eofpos;
  recscan::ReadFailure failure;
  std::optional<FileType> type = recscan::fileType(file, failure);
  if (!type) {
    r.reason = readError(failure);
    return r;
  }
  file.filtyp = *type;
  recscan::Settings settings;
  settings.sumflg = true;
  settings.ichflg = check.ichflg;
  // Looked up for every type, as recscan does; a text file's scan does not use it.
  if (recscan::createTemp(check.scratch, context.out)) {
    settings.dmf = recscan::getdmf(baseName(path), check.dmfdir, check.scratch, context);
    ::unlink(check.scratch.c_str());
  }
  recscan::Scanner scan(settings, context.out);
  if (!scanAll(file, scan, failure, done, stop)) {
    r.reason = "stopped";
    return r;
  }
  if (failure.failed()) {
    r.reason = readError(failure);
    return r;
  }
  r.verdict = scan.errcnt > 0 ? Verdict::kDamaged : Verdict::kOk;
  r.size = scan.filsiz;
  r.records = scan.reccnt;
  r.damaged = scan.errcnt;
  r.deletedPercent = recscan::deletedPercent(scan);
  return r;
}

}  // namespace dbc::sweep
