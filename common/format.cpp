#include "common/format.hpp"

namespace dbc {

void appendDecoded(std::string_view record, bool ichrs, std::string& out) {
  for (std::size_t i = 0; i < record.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(record[i]);
    if (b == kDeleted) continue;
    if (b == kSpaceRun) {
      if (++i < record.size()) out.append(static_cast<unsigned char>(record[i]), ' ');
    } else if (!ichrs && isPairByte(b)) {
      PairChars p = pairChars(b);
      out.push_back(p.first);
      out.push_back(p.second);
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
}

char* encodeTo(std::string_view text, bool ichrs, char* out) {
  // Taken a run at a time: this is the inner loop of every tag and record written.
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const e = p + text.size();
  while (p < e) {
    unsigned char c = *p;
    if (c == ' ') {
      const auto* s = p;
      do ++p;
      while (p < e && *p == ' ');
      std::size_t n = static_cast<std::size_t>(p - s);
      for (; n > static_cast<std::size_t>(kMaxSpaceRun); n -= kMaxSpaceRun) {
        *out++ = static_cast<char>(kSpaceRun);
        *out++ = static_cast<char>(kMaxSpaceRun);
      }
      if (n == 1) {
        *out++ = ' ';
      } else if (n > 1) {
        *out++ = static_cast<char>(kSpaceRun);
        *out++ = static_cast<char>(n);
      }
      continue;
    }
    if (!ichrs && pairIndex(c) >= 0 && p + 1 < e && pairIndex(p[1]) >= 0) {
      *out++ = static_cast<char>(pairCode(c, p[1]));
      p += 2;
      continue;
    }
    *out++ = static_cast<char>(c);
    ++p;
  }
  return out;
}

void appendEncoded(std::string_view text, bool ichrs, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char* end = encodeTo(text, ichrs, out.data() + start);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

}  // namespace dbc
