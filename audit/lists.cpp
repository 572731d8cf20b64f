#include "audit/lists.hpp"

#include <cstdio>
#include <cstring>
#include <limits>

#include "common/decimal.hpp"

namespace dbc::audit {

namespace {

// A plain "-?digits" of up to 19 digits within the signed range at `p`: advances `p` and stores
// the value, or returns false. Anything longer or out of range, or any other shape, goes to sscanf
// so that odd lines keep exactly the meaning they have always had.
bool plainNumber(const char*& p, const char* end, std::int64_t& value) {
  const char* q = p;
  bool negative = q < end && *q == '-';
  if (negative) ++q;
  std::uint64_t v = 0;
  if (!readDigits(q, end, v)) return false;
  constexpr std::uint64_t kMax = std::numeric_limits<std::int64_t>::max();
  if (v > kMax + (negative ? 1 : 0)) return false;
  value = negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
  p = q;
  return true;
}

bool atLineEnd(const char* p, const char* end) { return p == end || (*p == '\n' && p + 1 == end); }

// sscanf needs a terminated string; a list line is never longer than the 79-character reads.
template <typename Scan>
int withTerminated(std::string_view text, Scan scan) {
  char tmp[128];
  std::size_t n = text.size() < sizeof tmp - 1 ? text.size() : sizeof tmp - 1;
  std::memcpy(tmp, text.data(), n);
  tmp[n] = '\0';
  return scan(tmp);
}

}  // namespace

void writeChecksumLine(Output& out, std::int64_t recpos, std::int64_t chksum) {
  char* p = out.room(2 * kDecimalRoom);
  p = writeDecimal(p, recpos);
  *p++ = ' ';
  p = writeDecimal(p, chksum);
  *p++ = '\n';
  out.commit(p);
}

void writeChangeLine(Output& out, char code, std::int64_t recpos) {
  char* p = out.room(1 + kDecimalRoom + 1);
  *p++ = code;
  p = writeDecimal(p, recpos);
  *p++ = '\n';
  out.commit(p);
}

int scanChecksumLine(std::string_view line, std::int64_t& recpos, std::int64_t& chksum) {
  const char* p = line.data();
  const char* end = p + line.size();
  std::int64_t a, b;
  if (plainNumber(p, end, a) && p < end && *p++ == ' ' && plainNumber(p, end, b) &&
      atLineEnd(p, end)) {
    recpos = a;
    chksum = b;
    return 2;
  }
  return withTerminated(line, [&](const char* s) {
    long long x = 0, y = 0;
    int n = std::sscanf(s, "%lld %lld", &x, &y);
    if (n >= 1) recpos = x;
    if (n >= 2) chksum = y;
    return n;
  });
}

int scanPosition(std::string_view text, std::int64_t& recpos) {
  const char* p = text.data();
  const char* end = p + text.size();
  std::int64_t a;
  if (plainNumber(p, end, a) && atLineEnd(p, end)) {
    recpos = a;
    return 1;
  }
  return withTerminated(text, [&](const char* s) {
    long long x = 0;
    int n = std::sscanf(s, "%lld", &x);
    if (n >= 1) recpos = x;
    return n;
  });
}

}  // namespace dbc::audit
