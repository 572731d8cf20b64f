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

namespace {

void flushSpaces(int& spaces, std::string& out) {
  while (spaces > 0) {
    int n = spaces > kMaxSpaceRun ? kMaxSpaceRun : spaces;
    if (n == 1) {
      out.push_back(' ');
    } else {
      out.push_back(static_cast<char>(kSpaceRun));
      out.push_back(static_cast<char>(n));
    }
    spaces -= n;
  }
}

}  // namespace

void appendEncoded(std::string_view text, bool ichrs, std::string& out) {
  int spaces = 0;
  int pending = -1;  // a digit or point waiting for a partner
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == ' ') {
      if (pending >= 0) out.push_back(static_cast<char>(pending)), pending = -1;
      ++spaces;
      continue;
    }
    flushSpaces(spaces, out);
    if (!ichrs && pairIndex(c) >= 0) {
      if (pending < 0) {
        pending = c;
      } else {
        out.push_back(static_cast<char>(pairCode(static_cast<unsigned char>(pending), c)));
        pending = -1;
      }
      continue;
    }
    if (pending >= 0) out.push_back(static_cast<char>(pending)), pending = -1;
    out.push_back(ch);
  }
  if (pending >= 0) out.push_back(static_cast<char>(pending));
  flushSpaces(spaces, out);
}

}  // namespace dbc
