#include "dbtidy/srcpath.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dbtidy/lineio.hpp"

namespace dbtidy {

namespace {

std::string valueOf(std::string_view line) {
  std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(line.substr(eq + 1));
}

}  // namespace

SourcePath get_srcpath(const EnvLookup& env, int verbose, std::FILE* out) {
  SourcePath p;
  if (const char* v = env("DBC_SRCPATH")) {
    p.srcpath = v;
    p.result = kSrcpathEnv;
    return p;
  }
  if (const char* v = env("DBC_FILEPATH")) {
    p.srcpath = v;
    p.result = kFilepathEnv;
  }
  const char* envfile = env("DBC_ENVFILE");
  if (!envfile) return p;
  std::string envfname = envfile;
  // A file that cannot be read is one that cannot be opened: the same message, and nothing of it
  // is taken. A folder or a device (an endless /dev/zero) is never read at all; a pipe is, but its
  // opening does not wait for a writer that may never come.
  const SourcePath before = p;
  auto unable = [&] {
    std::fprintf(out, "\nError : Unable to open dbc environment file : %s \n", envfname.c_str());
    return before;
  };
  auto readable = [](mode_t mode) { return S_ISREG(mode) || S_ISFIFO(mode); };
  struct stat st;
  if (::stat(envfname.c_str(), &st) == 0 && !readable(st.st_mode)) return unable();
  dbc::Fd fd = dbc::openFile(envfname, O_RDONLY | O_NONBLOCK);
  if (!fd || ::fstat(fd.get(), &st) != 0 || !readable(st.st_mode)) return unable();
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  Counters counters;  // thrown away: the run's counters start after the path is known
  LineReader reader(std::move(fd), counters, verbose ? out : nullptr);
  std::string line;
  while (!reader.eof()) {
    if (!reader.getline_dbtidy(line)) return unable();
    if (reader.eof() && line.empty()) break;
    std::string_view text = line;
    std::size_t start = text.find_first_not_of(' ');
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    if (text.starts_with("DBC_FILEPATH") && p.result != kFilepathEnv) {
      p.srcpath = valueOf(text);
      p.result = kFilepathFile;
    } else if (text.starts_with("DBC_SRCPATH")) {
      p.srcpath = valueOf(text);
      p.result = kSrcpathFile;
      break;
    }
  }
  return p;
}

void reportSrcpath(const SourcePath& p, std::FILE* out) {
  const char* path = p.srcpath.c_str();
  switch (p.result) {
    case kSrcpathEnv:
      std::fprintf(out, "Using DBC_SRCPATH from Environment : %s\n", path);
      break;
    case kFilepathEnv:
      std::fprintf(out, "Using DBC_FILEPATH from Environment : %s\n", path);
      break;
    case kSrcpathFile:
      std::fprintf(out, "Using DBC_SRCPATH from Environment file : %s\n", path);
      break;
    case kFilepathFile:
      std::fprintf(out, "Using DBC_FILEPATH from Environment file : %s\n", path);
      break;
    default:
      std::fprintf(out, "No Source Path\n");
      break;
  }
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

}  // namespace dbtidy
