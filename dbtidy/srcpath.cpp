#include "dbtidy/srcpath.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dbtidy/lineio.hpp"

namespace dbc::dbtidy {

namespace {

std::string valueOf(std::string_view line) {
  std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(line.substr(eq + 1));
}

// The environment file, open for reading, or no descriptor when it cannot be read. A folder or a
// device (an endless /dev/zero) is never read at all; a pipe is, but its opening does not wait for
// a writer that may never come.
dbc::Fd openEnvfile(const std::string& envfname) {
  auto readable = [](mode_t mode) { return S_ISREG(mode) || S_ISFIFO(mode); };
  struct stat st;
  if (::stat(envfname.c_str(), &st) == 0 && !readable(st.st_mode)) return dbc::Fd();
  dbc::Fd fd = dbc::openFile(envfname, O_RDONLY | O_NONBLOCK);
  if (!fd || ::fstat(fd.get(), &st) != 0 || !readable(st.st_mode)) return dbc::Fd();
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Takes the environment file's lines into `p` until its DBC_SRCPATH line. False on a read error.
// The names are matched case-sensitively after leading spaces, and a DBC_FILEPATH from the
// environment outranks the file's own.
bool readEnvfile(dbc::Fd fd, bool verbose, std::FILE* out, SourcePath& p) {
  Counters counters;  // thrown away: the run's counters start after the path is known
  LineReader reader(std::move(fd), counters, verbose ? out : nullptr);
  std::string line;
  while (!reader.eof()) {
    if (!reader.getline_dbtidy(line)) return false;
    if (reader.eof() && line.empty()) break;
    std::string_view text = line;
    std::size_t start = text.find_first_not_of(' ');
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    if (text.starts_with("DBC_FILEPATH") && p.result != PathSource::kFilepathEnv) {
      p.srcpath = valueOf(text);
      p.result = PathSource::kFilepathFile;
    } else if (text.starts_with("DBC_SRCPATH")) {
      p.srcpath = valueOf(text);
      p.result = PathSource::kSrcpathFile;
      break;
    }
  }
  return true;
}

}  // namespace

SourcePath get_srcpath(const EnvLookup& env, bool verbose, std::FILE* out) {
  SourcePath p;
  if (const char* v = env("DBC_SRCPATH")) {
    p.srcpath = v;
    p.result = PathSource::kSrcpathEnv;
    return p;
  }
  if (const char* v = env("DBC_FILEPATH")) {
    p.srcpath = v;
    p.result = PathSource::kFilepathEnv;
  }
  const char* envfile = env("DBC_ENVFILE");
  if (!envfile) return p;
  std::string envfname = envfile;
  // A file that cannot be read is one that cannot be opened: the same message, and nothing of it
  // is taken.
  SourcePath fromFile = p;
  dbc::Fd fd = openEnvfile(envfname);
  if (!fd || !readEnvfile(std::move(fd), verbose, out, fromFile)) {
    std::fprintf(out, "\nError : Unable to open dbc environment file : %s \n", envfname.c_str());
    return p;
  }
  return fromFile;
}

void reportSrcpath(const SourcePath& p, std::FILE* out) {
  // In the order of PathSource.
  static const char* const kMessages[] = {
      "No Source Path\n",
      "Using DBC_SRCPATH from Environment : %s\n",
      "Using DBC_FILEPATH from Environment : %s\n",
      "Using DBC_SRCPATH from Environment file : %s\n",
      "Using DBC_FILEPATH from Environment file : %s\n",
  };
  std::fprintf(out, kMessages[static_cast<int>(p.result)], p.srcpath.c_str());
}

std::string searchpath(std::string_view name, std::string_view path) {
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t semi = path.find(';', pos);
    std::size_t stop = semi == std::string_view::npos ? path.size() : semi;
    std::string candidate(path.substr(pos, stop - pos));
    if (candidate.empty() || candidate.back() != '/') candidate += '/';
    candidate += name;
    if (::access(candidate.c_str(), F_OK) == 0) return candidate;
    if (semi == std::string_view::npos) break;
    pos = semi + 1;
  }
  return std::string();
}

}  // namespace dbc::dbtidy
