#include "recmend/ndxprobe.hpp"

#include <sys/stat.h>

#include <cstdio>

#include "common/shell.hpp"

namespace dbc::recmend {

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

NdxprobeVersion ndxprobe_version(const std::string& root) {
  const std::string NDXPROBE3_PATH = root + "/src/cf/NDXPROBE3.PRG";
  const std::string NDXPROBE2_PATH = root + "/src/cf/NDXPROBE2.PRG";
  struct stat st;
  if (::stat(NDXPROBE3_PATH.c_str(), &st) == 0) return NdxprobeVersion::kThree;
  if (::stat(NDXPROBE2_PATH.c_str(), &st) == 0) return NdxprobeVersion::kTwo;
  return NdxprobeVersion::kOne;
}

std::string ndxprobe_command(NdxprobeVersion version, std::string_view name) {
  if (version == NdxprobeVersion::kOne) return "DBC NDXPROBE";
  std::string cmd = version == NdxprobeVersion::kThree ? "DBC NDXPROBE3 " : "DBC NDXPROBE2 ";
  cmd += shellWord(name, "._-");
  cmd += " ALL DUP";
  return cmd;
}

void run_ndxprobe(const Settings& s, Context& context) {
  std::string name = parse_filename(s.DATAFILE, FILEPATH_SEPARATOR);
  if (name.empty()) {
    // Nothing to hand the probe: running it on no file would test nothing the user asked for.
    std::fprintf(context.out, "The data file path has no file name; NDXPROBE is not run.\n");
    return;
  }
  NdxprobeVersion NDXPROBE_VERSION = ndxprobe_version(qlon_root(context.getenv("QLON_ROOT")));
  std::string command = ndxprobe_command(NDXPROBE_VERSION, name);
  std::fputs("Rolling out the current NDXPROBE command: ", context.out);
  std::fputs(command.c_str(), context.out);
  std::fputc('\n', context.out);
  // The probe reports on the terminal itself; its status is not examined, and recmend's own
  // stays 0 whatever the probe found or whether it started at all.
  context.shell(command);
}

}  // namespace dbc::recmend
