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

// Whether `cols` (a tag's position columns) is what putRight writes for the number they hold
// in as many columns: spaces, then digits without a leading zero (a lone 0 at the end).
inline bool isPlainPosition(std::string_view cols) {
  std::size_t i = 0;
  while (i < cols.size() && cols[i] == ' ') ++i;
  if (i == cols.size() || (cols[i] == '0' && i + 1 < cols.size())) return false;
  for (; i < cols.size(); ++i)
    if (cols[i] < '0' || cols[i] > '9') return false;
  return true;
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

// Both sides of the comparison as it goes: the sorted tag and the data record held, and what is
// done with one pair of them.
class Comparison {
 public:
  Comparison(RecordReader& rec, int keysiz, std::FILE* errfile, std::FILE* dbgfile)
      : rec_(rec),
        keysiz2_(static_cast<std::size_t>(keysiz) + kTagNumberWidth),
        errors_{errfile},
        dbgfile_(dbgfile) {}

  // Where the next sorted tag is read to; tookTag() then takes it.
  std::string& tagBuffer() { return buffer1_; }
  void tookTag() {
    held1_ = true;
    key1_ = buffer1_.size() > kTagRecordAt
                ? std::string_view(buffer1_).substr(kTagRecordAt, keysiz2_)
                : std::string_view();
    filpos1_ = tagRecordPosition(buffer1_);
    plain1_ = key1_.size() == keysiz2_ && isPlainPosition(key1_.substr(0, kTagNumberWidth));
  }
  void readRecord() {
    if (rec_.getrec() < 0) {
      eof2_ = true;
    } else {
      held2_ = true;
      key2_ = std::string_view();
    }
  }

  // One step: the pair held compared, the disagreement written, and the side or sides used up
  // let go. Kept inside merge's loop, where it was measured cheaper than a call per record.
  [[gnu::always_inline]] void compare(int step) {
    if (eof1_) {
      std::fprintf(dbgfile_, "eof1\n");
      errors_.write('T', key2());
      ++errcnt;
      held2_ = false;
    } else if (eof2_) {
      std::fprintf(dbgfile_, "eof2\n");
      errors_.write('I', buffer1_);
      ++errcnt;
      held1_ = false;
    } else if (sameKeys()) {
      held1_ = held2_ = false;
    } else if (rec_.txtpos == filpos1_) {
      dbg("I", step, 0);
      errors_.write('I', buffer1_);
      dbg("T", step, 0);
      errors_.write('T', key2());
      errcnt += 2;
      held1_ = held2_ = false;
    } else if (cString(key1_) < cString(key2())) {
      dbg("I", step, 75);
      errors_.write('I', buffer1_);
      ++errcnt;
      held1_ = false;
    } else {
      dbg("T", step, 75);
      errors_.write('T', key2());
      ++errcnt;
      held2_ = false;
    }
  }

  bool needTag() const { return !eof1_ && !held1_; }
  bool needRecord() const { return !eof2_ && !held2_; }
  void tagsEnded() { eof1_ = true; }
  bool bothEnded() const { return eof1_ && eof2_; }
  std::uint64_t errorFileLength() const { return errors_.length; }

  long errcnt = 0;

 private:
  // The debug lines: "%s--%i--%s--%s--", the keys padded to 75 columns where the sides differ.
  void dbg(const char* side, int step, int width) {
    const std::string_view key2 = this->key2();
    std::fprintf(dbgfile_, "%s--%i--%*.*s--%*.*s--\n", side, step, width,
                 static_cast<int>(key1_.size()), key1_.data(), width, static_cast<int>(key2.size()),
                 key2.data());
  }
  // The record's key with its position in front, formed the first time it is asked for: a
  // record that matches its tag needs it only to be compared, which is done without it.
  std::string_view key2() {
    if (key2_.empty()) key2_ = recordAsTag(key2buf_, rec_);
    return key2_;
  }
  // key1 == key2. Where the tag's position columns are as a 12-column number is written and it
  // is the record's position, they are the record's columns too, and only the keys are left.
  bool sameKeys() {
    if (!plain1_ || filpos1_ != rec_.txtpos) return key1_ == key2();
    return rec_.keyval.size() == keysiz2_ - kTagNumberWidth &&
           std::memcmp(key1_.data() + kTagNumberWidth, rec_.keyval.data(), rec_.keyval.size()) == 0;
  }

  RecordReader& rec_;
  const std::size_t keysiz2_;
  ErrorFile errors_;
  std::FILE* dbgfile_;
  std::string buffer1_;
  // The tag's key part, a view into buffer1_, and the record's key with its position in front.
  std::string_view key1_;
  char key2buf_[20 + kMaxKeySize];
  std::string_view key2_;  // empty until formed
  bool plain1_ = false;    // the tag's position columns are as putRight writes its number
  bool held1_ = false, held2_ = false;
  bool eof1_ = false, eof2_ = false;
  std::uint64_t filpos1_ = 0;
};

// Runs the comparison to the end of both sides. `next1` reads the next sorted tag into its
// argument and returns -1 at the end. Stops the run (status 0) when the error file outgrows the
// data file, saying so on `out`.
template <typename NextTag>
MergeResult merge(NextTag next1, RecordReader& rec, int keysiz, std::uint64_t eofpos,
                  std::FILE* errfile, std::FILE* dbgfile, std::FILE* out) {
  MergeResult r;
  Comparison c(rec, keysiz, errfile, dbgfile);
  while (true) {
    if (c.errorFileLength() > eofpos) {
      std::fprintf(out, "An internal error has occurred.  Contact Quillon.\n");
      throw Stop{0};
    }
    if (c.needTag()) {
      if (next1(c.tagBuffer()) < 0)
        c.tagsEnded();
      else
        c.tookTag();
    }
    if (c.needRecord()) c.readRecord();
    ++r.reccnt;
    if (c.bothEnded()) {
      r.errcnt = c.errcnt;
      return r;
    }
    c.compare(static_cast<int>(r.reccnt));
  }
}

}  // namespace dbc::ixmark
