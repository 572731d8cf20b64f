#include "common/config.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace dbc {

void getlin2(std::FILE* stream, char* line) {
  std::size_t n = 0;
  while (n < kLineMax) {
    int c = std::getc(stream);
    if (c == EOF && std::ferror(stream) && errno == EINTR) {
      std::clearerr(stream);
      continue;
    }
    if (c == EOF || c == '\n') break;
    line[n++] = static_cast<char>(c);
  }
  line[n] = '\0';
  while (n > 0 && (line[n - 1] == '\0' || line[n - 1] == ' ' || line[n - 1] == '\t')) {
    line[--n] = '\0';
  }
}

const char* processEnv(const char* name) {
  // No variable can be named with an '=' in it; getenv would match a prefix of some other one.
  if (std::strchr(name, '=') != nullptr) return nullptr;
  return std::getenv(name);
}

namespace {

void unableToOpen(std::FILE* out, const char* cfg) {
  std::fprintf(out, "\nError: Unable to open: %s \n", cfg);
}

}  // namespace

std::string Config::getenv2(std::string_view key) const {
  std::string k(key);
  if (const char* v = env_(k.c_str())) return v;

  const char* cfg = env_("DBC_CFG");
  if (cfg == nullptr && variant_.envfileFallback) cfg = env_("DBC_ENVFILE");
  if (cfg == nullptr) return "";

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(cfg, "r"), std::fclose);
  if (!file) {
    unableToOpen(out_, cfg);
    return "";
  }
  char line[kLineMax + 1];
  while (!std::feof(file.get())) {
    line[0] = '\0';
    getlin2(file.get(), line);
    // A file that opens but cannot be read (a directory, a failing device) would never reach its
    // end: it is of no more use than one that cannot be opened, and is reported the same way.
    if (std::ferror(file.get())) {
      unableToOpen(out_, cfg);
      return "";
    }
    if (std::feof(file.get())) break;  // a last line without its newline is never examined
    const char* p = line;
    while (*p == ' ') ++p;
    if (std::strlen(p) < k.size() || std::memcmp(p, k.data(), k.size()) != 0) continue;
    const char* eq = std::strchr(p, '=');
    return eq ? std::string(eq + 1) : std::string();
  }
  return "";
}

const std::string& ListWalk::parse(const char* list, char separator) {
  if (list != nullptr) {
    wrkstr1 = list;
    wrkptr1 = 0;
  }
  std::size_t end = wrkstr1.find(separator, wrkptr1);
  if (end == std::string::npos) end = wrkstr1.size();
  wrkstr2.assign(wrkstr1, wrkptr1, end - wrkptr1);
  wrkptr1 = end < wrkstr1.size() ? end + 1 : end;
  return wrkstr2;
}

}  // namespace dbc
