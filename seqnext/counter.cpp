#include "seqnext/counter.hpp"

#include <sys/file.h>

#include <cerrno>
#include <cstdio>

#include "common/io.hpp"

namespace dbc::seqnext {

long long fieldValue(std::string_view field) {
  std::size_t i = 0;
  auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < field.size() && space(field[i])) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  long long value = 0;
  // Ten characters hold at most ten digits, far inside 64 bits.
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<std::string> nextField(std::string_view field) {
  long long serial = fieldValue(field);
  if (serial >= kSerialMax) return std::nullopt;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%10lld", serial + 1);
  return std::string(buffer);
}

bool lockCounter(int fd, Context& context) {
  for (int i = 0; i < kLockAttempts; ++i) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    std::fprintf(context.out, "sleep\n");
    context.sleep(kLockWait);
  }
  return false;
}

Taken takeNumber(int fd, Context& context) {
  if (!lockCounter(fd, context)) return {Outcome::kNoLock, {}};
  Taken taken{Outcome::kShort, {}};
  char field[kFieldWidth];
  ssize_t got = preadFull(fd, field, kFieldWidth, 0);
  if (got < 0) taken.outcome = Outcome::kReadFailed;
  if (got == static_cast<ssize_t>(kFieldWidth)) {
    // A NUL ends the number, as it would in a C string.
    std::string_view text(field, kFieldWidth);
    text = text.substr(0, text.find('\0'));
    if (std::optional<std::string> next = nextField(text)) {
      if (pwriteFull(fd, next->data(), kFieldWidth, 0)) {
        return {Outcome::kNumber, *next};
      }
      taken.outcome = Outcome::kWriteFailed;
    } else {
      taken.outcome = Outcome::kOverflow;
    }
  }
  int saved = errno;
  ::flock(fd, LOCK_UN);
  errno = saved;
  return taken;
}

}  // namespace dbc::seqnext
