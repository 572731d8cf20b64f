#include "recscan/dmf.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/io.hpp"
#include "common/shell.hpp"

namespace dbc::recscan {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string fileId(std::string_view filnam) {
  std::string_view base = filnam.substr(0, filnam.find('.'));
  std::size_t n = base.size();
  if ((n == 6 || n == 7) && isDigit(base[n - 1])) {
    std::size_t keep = n;
    while (keep > n - 4 && isDigit(base[keep - 1])) --keep;
    n = keep;
  }
  return std::string(base.substr(0, n));
}

Dmf dmfFields(std::string_view dmftxt) {
  Dmf d;
  if (dmftxt.size() > 4) {
    std::string_view len = dmftxt.substr(4, 5);
    std::size_t i = 0;
    while (i < len.size() && (len[i] == ' ' || len[i] == '\t')) ++i;
    for (; i < len.size() && isDigit(len[i]); ++i) d.dmflen = d.dmflen * 10 + (len[i] - '0');
  }
  // Empty text, no definition at all, says "not compressed" like an N does: the scan then takes
  // 0x80..0xF8 for damage and tests no record position, as it always has for such files.
  d.cmpflg1 = dmftxt.size() > 9 && dmftxt[9] == 'Y' ? Compression::kConfigured
                                                    : Compression::kNotConfigured;
  return d;
}

std::string dmfCommand(std::string_view fid, std::string_view dmfdir, std::string_view sys,
                       std::string_view tmpfil) {
  // An ordinary id stands in double quotes as it always has; anything else is quoted whole, and
  // one that starts with '-' is marked as the pattern so grep cannot take it for an option.
  std::string cmd = "grep ";
  if (isPlainWord(fid, "._-") && fid.front() != '-') {
    cmd.append("\"").append(fid).append("\"");
  } else {
    cmd.append("-e ").append(shellQuote(fid));
  }
  std::string dir(dmfdir);
  dir += '/';
  // grep's own complaints (no folder, no definition files) are discarded like the rest.
  cmd.append(" ").append(shellWord(dir)).append(sys);
  cmd.append("*.DMF 2>/dev/null | head -n 1 | cut -d: -f2 | cut -b 1-10 > ");
  cmd.append(shellWord(tmpfil)).append(" 2>/dev/null");
  return cmd;
}

std::string dmfDir(const char* qlonRoot) {
  std::string root = qlonRoot != nullptr && *qlonRoot != '\0' ? qlonRoot : "/qlon";
  return root + "/dmf";
}

bool createTemp(const std::string& tmpfil, std::FILE* out) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  Fd fd = openFile(tmpfil, kFlags, 0600);
  if (!fd.valid() && errno == EEXIST) {
    // Whatever holds the name, a leftover or something planted, goes; a link is removed itself,
    // never what it points to.
    if (::unlink(tmpfil.c_str()) == 0) fd = openFile(tmpfil, kFlags, 0600);
  }
  if (!fd.valid()) {
    std::fprintf(out, "\nError creating %s\n", tmpfil.c_str());
    return false;
  }
  return true;
}

Dmf getdmf(std::string_view filnam, const std::string& dmfdir, const std::string& tmpfil,
           Context& context) {
  const std::string fid = fileId(filnam);
  std::string dmftxt;
  for (const char* sys : {"PD", "??"}) {
    const bool last = sys[0] == '?';
    context.shell(dmfCommand(fid, dmfdir, sys, tmpfil));
    Fd fd = openFile(tmpfil, O_RDONLY | O_NOFOLLOW);
    char buf[40];
    // Kept text that cannot be read is no more found than text that cannot be opened.
    ssize_t got = fd.valid() ? readFull(fd.get(), buf, sizeof buf) : -1;
    if (got < 0) {
      if (!last) continue;
      std::fprintf(context.out, "\nError opening %s\n", tmpfil.c_str());
      return Dmf{Compression::kUndefined, 0};
    }
    if (got > 0) {
      dmftxt.assign(buf, static_cast<std::size_t>(got));
      break;
    }
  }
  return dmfFields(dmftxt);
}

}  // namespace dbc::recscan
