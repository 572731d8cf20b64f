#include "recmend/ndxprobe.hpp"

#include <sys/stat.h>

#include "common/shell.hpp"

namespace recmend {

std::string parse_filename(std::string_view path, std::string_view separators) {
  std::size_t end = path.find_last_not_of(separators);
  if (end == std::string_view::npos) return {};
  std::size_t start = path.find_last_of(separators, end);
  start = start == std::string_view::npos ? 0 : start + 1;
  return std::string(path.substr(start, end + 1 - start));
}

std::string qlon_root(const char* qlonRootEnv) {
  return qlonRootEnv && *qlonRootEnv ? std::string(qlonRootEnv) : std::string("/qlon");
}

int ndxprobe_version(const std::string& root) {
  const std::string NDXPROBE3_PATH = root + "/src/cf/NDXPROBE3.PRG";
  const std::string NDXPROBE2_PATH = root + "/src/cf/NDXPROBE2.PRG";
  struct stat st;
  if (::stat(NDXPROBE3_PATH.c_str(), &st) == 0) return 3;
  if (::stat(NDXPROBE2_PATH.c_str(), &st) == 0) return 2;
  return 1;
}

std::string ndxprobe_command(int version, std::string_view name) {
  if (version == 1) return "DBC NDXPROBE";
  std::string cmd = version == 3 ? "DBC NDXPROBE3 " : "DBC NDXPROBE2 ";
  cmd += dbc::shellWord(name, "._-");
  cmd += " ALL DUP";
  return cmd;
}

void run_ndxprobe(const Settings& s, const std::string& root, FILE* out) {
  std::string name = parse_filename(s.DATAFILE, FILEPATH_SEPARATOR);
  if (name.empty()) {
    // Nothing to hand the probe: running it on no file would test nothing the user asked for.
    std::fprintf(out, "The data file path has no file name; NDXPROBE is not run.\n");
    return;
  }
  int NDXPROBE_VERSION = ndxprobe_version(root);
  std::string command = ndxprobe_command(NDXPROBE_VERSION, name);
  std::fputs("Rolling out the current NDXPROBE command: ", out);
  std::fputs(command.c_str(), out);
  std::fputc('\n', out);
  std::fflush(out);
  dbc::runShell(command);
}

}  // namespace recmend
