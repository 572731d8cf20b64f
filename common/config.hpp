// DB/C configuration look-up: a key is taken from the environment first, then from the DB/C
// configuration file, one `key=value` line at a time.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace dbc {

// A configuration line holds at most this many characters; longer lines come back in pieces.
inline constexpr std::size_t kLineMax = 1000;
// The programs keep names, paths and configuration values in 100-byte buffers. The routines here
// hold values whole; a caller that must keep the old limit checks against this and refuses.
inline constexpr std::size_t kNameMax = 99;

// Reads the next line of `stream` into `line` (room for kLineMax characters and a NUL): stops at
// end of file, at a newline (not stored) or after kLineMax characters, then strips trailing NULs,
// spaces and tabs. A carriage return stays. The caller sees the end through feof(stream) and a
// failed read through ferror(stream); an interrupted read is retried.
void getlin2(std::FILE* stream, char* line);

// Which files a program consults after the environment.
struct ConfigVariant {
  bool envfileFallback;  // DBC_ENVFILE names the file when DBC_CFG is not set
};
inline constexpr ConfigVariant kRecscanConfig{true};
inline constexpr ConfigVariant kDbcConfig{false};  // ixmark3, ixmark, seqnext

// Looks up an environment variable by its exact name; null when it is not set.
using EnvLookup = std::function<const char*(const char* name)>;
const char* processEnv(const char* name);

// `out` is where the look-up reports a configuration file it cannot use: the program's output
// (its context's), so that two runs in one process each keep their messages to themselves.
class Config {
 public:
  explicit Config(ConfigVariant variant, EnvLookup env = processEnv, std::FILE* out = stdout)
      : variant_(variant), env_(std::move(env)), out_(out) {}

  // The value of `key`, or the empty string when it is not configured. A key may end in '=' to
  // match only that exact key; otherwise a longer key in the file that starts with `key` matches.
  // A configuration file that cannot be opened, or cannot be read to its end, is reported on
  // `out`; the key then counts as not configured.
  std::string getenv2(std::string_view key) const;

  // Where the look-up's messages go; opnfil traces the paths it tries there too.
  std::FILE* out() const { return out_; }

 private:
  ConfigVariant variant_;
  EnvLookup env_;
  std::FILE* out_;
};

// The walk over a ';'-separated list: each call hands back the next element, the empty string
// once the list is used up. Passing a list starts a new walk; null continues the current one.
class ListWalk {
 public:
  const std::string& parse(const char* list, char separator = ';');

 private:
  std::string wrkstr1;  // the list being walked
  std::size_t wrkptr1 = 0;
  std::string wrkstr2;  // the current element
};

}  // namespace dbc
