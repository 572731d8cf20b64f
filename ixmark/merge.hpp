// The comparison: the sorted tags and the data file's records walked side by side, every
// disagreement written to the error and debug files. A template, so both sorted-file readers are
// called directly.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "common/stop.hpp"
#include "ixmark/record.hpp"
#include "ixmark/tag.hpp"

namespace dbc::ixmark {

struct MergeResult {
  long reccnt = 0;
  long errcnt = 0;
};

// A key as the C string it is ordered and printed as: up to its first zero byte, which only a
// collating sequence that maps a character to zero puts there.
inline std::string_view cString(std::string_view s) { return s.substr(0, s.find('\0')); }

// The blanks strtoull passes over in the C locale.
inline bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The record position in a tag's columns for it: blanks, then digits, as strtoull reads them.
inline std::uint64_t tagRecordPosition(const std::string& tag) {
  std::uint64_t filpos1 = 0;
  std::size_t i = kTagRecordAt, end = std::min<std::size_t>(tag.size(), kTagKeyAt);
  while (i < end && isCSpace(tag[i])) ++i;
  if (i < end && tag[i] == '+') ++i;
  for (; i < end && tag[i] >= '0' && tag[i] <= '9'; ++i)
    filpos1 = filpos1 * 10 + static_cast<std::uint64_t>(tag[i] - '0');
  return filpos1;
}

// A data record as a tag shows it from the record position on: the position in its columns,
// then the key, formed at `buf`.
inline std::string_view recordAsTag(char* buf, const RecordReader& rec) {
  char* e = putRight(buf, rec.txtpos, kTagNumberWidth);
  std::memcpy(e, rec.keyval.data(), rec.keyval.size());
  return std::string_view(buf, static_cast<std::size_t>(e - buf) + rec.keyval.size());
}

// The error file and its length, counted as it is written: asking the stream for its position
// would cost a system call per record. The file was created empty for this run.
struct ErrorFile {
  std::FILE* file;
  std::uint64_t length = 0;
  void write(char side, std::string_view s) {
    int n = std::fprintf(file, "%c%.*s\n", side, static_cast<int>(s.size()), s.data());
    if (n > 0) length += static_cast<std::uint64_t>(n);
  }
};

// Runs the comparison to the end of both sides. `next1` reads the next sorted tag into its
// argument and returns -1 at the end. Stops the run (status 0) when the error file outgrows the
// data file.
template <typename NextTag>
MergeResult merge(NextTag next1, RecordReader& rec, int keysiz, std::uint64_t eofpos,
                  std::FILE* errfile, std::FILE* dbgfile) {
  MergeResult r;
  std::string buffer1;
  // The tag's key part, a view into buffer1, and the record's key with its position in front.
  std::string_view key1;
  char key2buf[20 + kMaxKeySize];
  std::string_view key2;
  bool held1 = false, held2 = false;
  bool eof1 = false, eof2 = false;
  std::uint64_t filpos1 = 0;
  const std::size_t keysiz2 = static_cast<std::size_t>(keysiz) + kTagNumberWidth;
  ErrorFile errors{errfile};
  auto err = [&](char side, std::string_view s) { errors.write(side, s); };
  // The debug lines: "%s--%i--%s--%s--", the keys padded to 75 columns where the sides differ.
  auto dbg = [&](const char* side, int step, int width) {
    std::fprintf(dbgfile, "%s--%i--%*.*s--%*.*s--\n", side, step, width,
                 static_cast<int>(key1.size()), key1.data(), width, static_cast<int>(key2.size()),
                 key2.data());
  };
  while (true) {
    if (errors.length > eofpos) {
      std::printf("An internal error has occurred.  Contact Quillon.\n");
      throw Stop{0};
    }
    if (!eof1 && !held1) {
      if (next1(buffer1) < 0) {
        eof1 = true;
      } else {
        held1 = true;
        key1 = buffer1.size() > kTagRecordAt
                   ? std::string_view(buffer1).substr(kTagRecordAt, keysiz2)
                   : std::string_view();
        filpos1 = tagRecordPosition(buffer1);
      }
    }
    if (!eof2 && !held2) {
      if (rec.getrec() < 0) {
        eof2 = true;
      } else {
        held2 = true;
        key2 = recordAsTag(key2buf, rec);
      }
    }
    ++r.reccnt;
    int step = static_cast<int>(r.reccnt);
    if (eof1 && eof2) return r;
    if (eof1) {
      std::fprintf(dbgfile, "eof1\n");
      err('T', key2);
      ++r.errcnt;
      held2 = false;
    } else if (eof2) {
      std::fprintf(dbgfile, "eof2\n");
      err('I', buffer1);
      ++r.errcnt;
      held1 = false;
    } else if (key1 == key2) {
      held1 = held2 = false;
    } else if (rec.txtpos == filpos1) {
      dbg("I", step, 0);
      err('I', buffer1);
      dbg("T", step, 0);
      err('T', key2);
      r.errcnt += 2;
      held1 = held2 = false;
    } else if (cString(key1) < cString(key2)) {
      dbg("I", step, 75);
      err('I', buffer1);
      ++r.errcnt;
      held1 = false;
    } else {
      dbg("T", step, 75);
      err('T', key2);
      ++r.errcnt;
      held2 = false;
    }
  }
}

}  // namespace dbc::ixmark
