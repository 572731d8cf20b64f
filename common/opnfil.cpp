#include "common/opnfil.hpp"

#include <fcntl.h>

#include <cstdio>

namespace dbc {

namespace {

bool tryOpen(const std::string& path, const OpnfilVariant& v, std::FILE* trace, Opened& out) {
  if (v.trace) std::fprintf(trace, "%s\n", path.c_str());
  out.fulnam = path;
  out.fd = openFile(path, v.readWrite ? O_RDWR : O_RDONLY);
  return out.fd.valid();
}

// Tries element/name for each element of the list, up to its first empty element.
void walk(const std::string& list, const OpnfilVariant& v, std::FILE* trace, Opened& out) {
  ListWalk lw;
  for (const std::string* dir = &lw.parse(list.c_str()); !dir->empty(); dir = &lw.parse(nullptr)) {
    if (tryOpen(*dir + "/" + out.name, v, trace, out)) return;
  }
}

}  // namespace

Opened opnfil(std::string_view name, std::string_view defext, const OpnfilVariant& variant,
              const Config& config) {
  Opened out;
  std::string work(name);
  std::string dirlist;

  if (std::size_t colon = work.find(':'); colon != std::string::npos) {
    std::string volume = work.substr(colon + 1);
    volume = volume.substr(0, volume.find(' '));
    work.resize(colon);
    dirlist = config.getenv2("dbcdx.file.vol." + volume + "=");
  }

  // A '/' at the very start is not a directory part: "/NAME" names the file NAME in each place.
  if (std::size_t slash = work.rfind('/'); slash != std::string::npos && slash > 0) {
    dirlist = work.substr(0, slash);
    work.erase(0, slash + 1);
  }

  std::size_t dot = work.find('.');
  std::string base = work.substr(0, dot);
  std::string ext;
  if (variant.keepExtension && dot != std::string::npos) {
    ext = work.substr(dot + 1);
    ext = ext.substr(0, ext.find(' '));
  }
  if (ext.empty()) ext = defext;
  out.name = base + "." + ext;

  if (!dirlist.empty()) {
    walk(dirlist, variant, config.out(), out);
    return out;
  }
  std::string searchPath = config.getenv2("dbcdx.file.open");
  if (!searchPath.empty()) {
    walk(searchPath, variant, config.out(), out);
  } else if (variant.dotFallback) {
    std::string path = "./" + out.name;
    out.fulnam = path;
    out.fd = openFile(path, variant.readWrite ? O_RDWR : O_RDONLY);
  }
  return out;
}

}  // namespace dbc
