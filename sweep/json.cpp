#include "sweep/json.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/io.hpp"

namespace dbc::sweep {

namespace {

// The length of the UTF-8 sequence that starts at s[i], or 0 when none does.
std::size_t utf8Length(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2)) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

void appendEscaped(std::string& out, unsigned char c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", c);
  out += buf;
}

const char* kindName(Kind k) {
  return k == Kind::kData ? "data" : k == Kind::kIndex ? "index" : "folder";
}

std::string lower(const char* s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

std::string fileObject(const Result& r) {
  std::string o = "{\"path\": " + jsonString(r.path) + ", \"kind\": \"" + kindName(r.kind) +
                  "\", \"verdict\": \"" + lower(verdictName(r.verdict)) + "\"";
  auto add = [&o](const char* key, const std::optional<std::int64_t>& v) {
    if (v) o += std::string(", \"") + key + "\": " + std::to_string(static_cast<long long>(*v));
  };
  add("size", r.size);
  add("records", r.records);
  add("damaged_bytes", r.damaged);
  char buf[64];
  if (r.deletedPercent) {
    std::snprintf(buf, sizeof buf, ", \"deleted_percent\": %.2f",
                  static_cast<double>(*r.deletedPercent));
    o += buf;
  }
  add("disagreements", r.disagreements);
  std::snprintf(buf, sizeof buf, ", \"seconds\": %.3f", r.seconds);
  o += buf;
  if (!r.reason.empty()) o += ", \"reason\": " + jsonString(r.reason);
  return o + "}";
}

}  // namespace

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = utf8Length(s, i);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || n == 0) {
      appendEscaped(out, c);
      n = 1;
    } else {
      out.append(s.substr(i, n));
    }
    i += n == 0 ? 1 : n;
  }
  return out + "\"";
}

std::string isoTime(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string jsonDocument(const std::vector<Result>& results, const Counts& c, std::time_t started,
                         double seconds) {
  char head[256];
  std::snprintf(head, sizeof head,
                "{\"version\": 1, \"started\": \"%s\", \"seconds\": %.3f,\n \"summary\": "
                "{\"ok\": %d, \"damaged\": %d, \"mismatch\": %d, \"error\": %d},\n \"files\": [",
                isoTime(started).c_str(), seconds, c.ok, c.damaged, c.mismatch, c.error);
  std::string doc = head;
  for (std::size_t i = 0; i < results.size(); ++i) {
    doc += (i == 0 ? "\n  " : ",\n  ") + fileObject(results[i]);
  }
  return doc + "]}\n";
}

bool writeJson(const std::string& path, const std::string& document,
               const std::function<void(const std::string&)>& guard, std::string& error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = path + " exists and is not a regular file";
    return false;
  }
  // Named by us and claimed before it exists, so that no moment of its life is unguarded.
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  guard(temp);
  Fd owned = openFile(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (!owned.valid()) {
    error = "cannot create " + temp + ": " + std::strerror(errno);
    guard("");
    return false;
  }
  const int fd = owned.get();
  bool ok = writeFull(fd, document) && ::fsync(fd) == 0;
  ok = ok && owned.close() && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
  }
  guard("");
  return ok;
}

}  // namespace dbc::sweep
