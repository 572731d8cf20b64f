#include "ixmark/tag.hpp"

#include <cstring>

#include "common/format.hpp"

namespace dbc::ixmark {

char* putRight(char* at, std::uint64_t v, int width) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  for (int i = n; i < width; ++i) *at++ = ' ';
  while (n > 0) *at++ = digits[--n];
  return at;
}

void tagText(std::uint64_t filpos1, int bufpos, std::uint64_t txtpos, const char* key,
             std::string& out) {
  // Written by hand rather than through "%12lld%12i%12lld": this runs once per index entry.
  char b[72];
  char* end = putRight(b, filpos1, 12);
  end = putRight(end, static_cast<std::uint64_t>(bufpos < 0 ? 0 : bufpos), 12);
  end = putRight(end, txtpos, 12);
  out.assign(b, end);
  out += key;
}

std::string tagText(std::uint64_t filpos1, int bufpos, std::uint64_t txtpos, const char* key) {
  std::string t;
  tagText(filpos1, bufpos, txtpos, key, t);
  return t;
}

void encodeTag(const std::string& text, bool ichflg, std::string& out) {
  // Each character gives at most one byte and a space run two for at least two spaces, so the
  // record never outgrows the text and its mark.
  const std::size_t start = out.size();
  out.resize(start + text.size() + 2);
  char* const first = out.data() + start;
  char* o = first;
  int spaces = 0;
  int pending = -1;  // a digit or point waiting for a partner
  for (std::size_t i = 0; i <= text.size(); ++i) {
    unsigned char c = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    if (c == ' ') {
      if (pending >= 0) *o++ = static_cast<char>(pending);
      pending = -1;
      ++spaces;
      continue;
    }
    if (spaces == 1) {
      *o++ = ' ';
    } else if (spaces > 1) {
      *o++ = static_cast<char>(kSpaceRun);
      *o++ = static_cast<char>(spaces);
    }
    spaces = 0;
    if (!ichflg && pairIndex(c) >= 0) {
      if (pending < 0) {
        pending = c;
      } else {
        *o++ = static_cast<char>(pairCode(static_cast<unsigned char>(pending), c));
        pending = -1;
      }
      continue;
    }
    if (pending >= 0) *o++ = static_cast<char>(pending);
    pending = -1;
    if (c == 0) {
      *o++ = static_cast<char>(kRecordMark);
      break;
    }
    *o++ = static_cast<char>(c);
  }
  out.resize(start + static_cast<std::size_t>(o - first));
}

TagWriter::TagWriter(const Variant& variant, bool ichflg, const Collate& collate, int keysiz,
                     bool verbose, std::FILE* tagfile)
    : variant_(variant),
      ichflg_(ichflg),
      collate_(collate),
      keysiz_(keysiz),
      verbose_(verbose),
      tagfile_(tagfile) {}

void TagWriter::wrttag1(const IndexEntry& e) {
  ++reccnt1;
  if (verbose_ && reccnt1 % 10000 == 0) std::printf("\r%10li", reccnt1);
  unsigned char key[kMaxKeySize + 1];
  std::memcpy(key, e.keyval, static_cast<std::size_t>(keysiz_));
  key[keysiz_] = 0;
  for (int i = 0; i < keysiz_ && key[i] != 0; ++i)
    if (key[i] == '\n') key[i] = ' ';
  tagerr1 = 0;
  for (int i = 0; i < keysiz_; ++i) {
    unsigned char c = key[i];
    // With ichrs on, 0xF9..0xFF still cannot stand in a key: written raw they would end or
    // corrupt the compressed tag record.
    bool invalid = c < 0x20 || (c > 0x7E && !ichflg_) || (ichflg_ && c >= kSpaceRun);
    if (!invalid) continue;
    std::printf("Invalid character 0x%02X in record starting at %lld\n", c,
                static_cast<long long>(e.txtpos));
    if (variant_.cleanInvalid) key[i] = ' ';
    ++tagerr1;
  }
  if (tagerr1 > 0) ++tagerr2;
  if (variant_.collate && collate_.active())
    for (int i = 0; i < keysiz_; ++i) key[i] = static_cast<unsigned char>(collate_.colrtn(key[i]));
  tagText(e.filpos1, e.bufpos, e.txtpos, reinterpret_cast<char*>(key), tagval_);
  const std::string& tagval = tagval_;
  if (tagval == tagsav_) {
    std::printf("Duplicate record in index: %s\n", tagval.c_str());
    return;
  }
  if (variant_.compressedTags) {
    tagout_.clear();
    encodeTag(tagval, ichflg_, tagout_);
    std::fwrite(tagout_.data(), 1, tagout_.size(), tagfile_);
  } else {
    std::fwrite(tagval.data(), 1, tagval.size(), tagfile_);
    std::fputc('\n', tagfile_);
  }
  tagsav_.swap(tagval_);
}

}  // namespace dbc::ixmark
