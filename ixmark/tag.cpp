#include "ixmark/tag.hpp"

#include <cstring>
#include <string_view>

#include "common/format.hpp"

namespace dbc::ixmark {

char* putRight(char* at, std::uint64_t v, int width) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char digits[20];
  char* d = digits + sizeof digits;
  for (; v >= 100; v /= 100) {
    d -= 2;
    std::memcpy(d, kPairs + 2 * (v % 100), 2);
  }
  if (v >= 10) {
    d -= 2;
    std::memcpy(d, kPairs + 2 * v, 2);
  } else {
    *--d = static_cast<char>('0' + v);
  }
  const int n = static_cast<int>(digits + sizeof digits - d);
  for (int i = n; i < width; ++i) *at++ = ' ';
  std::memcpy(at, d, static_cast<std::size_t>(n));
  return at + n;
}

namespace {

// The tag text at `at`: "%12lld%12i%12lld%s" written by hand, as this runs once per index entry.
char* formTag(char* at, std::uint64_t filpos1, int bufpos, std::uint64_t txtpos, const char* key) {
  at = putRight(at, filpos1, kTagNumberWidth);
  at = putRight(at, static_cast<std::uint64_t>(bufpos < 0 ? 0 : bufpos), kTagNumberWidth);
  at = putRight(at, txtpos, kTagNumberWidth);
  while (*key != 0) *at++ = *key++;
  return at;
}

}  // namespace

std::string tagText(std::uint64_t filpos1, int bufpos, std::uint64_t txtpos, const char* key) {
  char b[3 * 20];
  std::string t(b, formTag(b, filpos1, bufpos, txtpos, ""));
  return t + key;
}

void encodeTag(const std::string& text, bool ichflg, std::string& out) {
  appendEncoded(text, ichflg, out);
  out += static_cast<char>(kRecordMark);
}

TagWriter::TagWriter(const Variant& variant, bool ichflg, const Collate& collate, int keysiz,
                     bool verbose, std::FILE* tagfile, std::FILE* out)
    : variant_(variant),
      ichflg_(ichflg),
      collate_(collate),
      keysiz_(keysiz),
      verbose_(verbose),
      tagfile_(tagfile),
      messages_(out) {}

void TagWriter::cleanKey(unsigned char* key, std::uint64_t txtpos) {
  for (int i = 0; i < keysiz_ && key[i] != 0; ++i)
    if (key[i] == '\n') key[i] = ' ';
  for (int i = 0; i < keysiz_; ++i) {
    unsigned char c = key[i];
    // With ichrs on, 0xF9..0xFF still cannot stand in a key: written raw they would end or
    // corrupt the compressed tag record.
    bool invalid = c < 0x20 || (c > 0x7E && !ichflg_) || (ichflg_ && c >= kSpaceRun);
    if (!invalid) continue;
    std::fprintf(messages_, "Invalid character 0x%02X in record starting at %lld\n", c,
                 static_cast<long long>(txtpos));
    if (variant_.cleanInvalid) key[i] = ' ';
    ++tagerr1;
  }
  if (tagerr1 > 0) ++tagerr2;
}

void TagWriter::wrttag1(const IndexEntry& e) {
  ++reccnt1;
  if (verbose_ && reccnt1 % 10000 == 0) std::fprintf(messages_, "\r%10li", reccnt1);
  unsigned char key[kMaxKeySize + 1];
  std::memcpy(key, e.keyval, static_cast<std::size_t>(keysiz_));
  key[keysiz_] = 0;
  tagerr1 = 0;
  // Nearly every key is printable through and through; only the others need the rules below.
  bool printable = true;
  for (int i = 0; i < keysiz_; ++i) printable &= key[i] >= 0x20 && key[i] <= 0x7E;
  if (!printable) cleanKey(key, e.txtpos);
  if (variant_.collate && collate_.active())
    for (int i = 0; i < keysiz_; ++i) key[i] = static_cast<unsigned char>(collate_.colrtn(key[i]));
  char* const tag = tags_[cur_];
  const int len = static_cast<int>(
      formTag(tag, e.filpos1, e.bufpos, e.txtpos, reinterpret_cast<char*>(key)) - tag);
  if (len == lens_[cur_ ^ 1] && std::memcmp(tag, tags_[cur_ ^ 1], len) == 0) {
    std::fprintf(messages_, "Duplicate record in index: %.*s\n", len, tag);
    return;
  }
  const std::string_view text(tag, static_cast<std::size_t>(len));
  if (outlen_ + text.size() + 1 > sizeof out_) flush();
  char* o = out_ + outlen_;
  if (variant_.compressedTags) {
    o = encodeTo(text, ichflg_, o);
    *o++ = static_cast<char>(kRecordMark);
  } else {
    std::memcpy(o, text.data(), text.size());
    o += text.size();
    *o++ = '\n';
  }
  outlen_ = static_cast<std::size_t>(o - out_);
  lens_[cur_] = len;
  cur_ ^= 1;
}

void TagWriter::flush() {
  if (outlen_ > 0 && std::fwrite(out_, 1, outlen_, tagfile_) != outlen_) failed_ = true;
  outlen_ = 0;
}

bool TagWriter::finish() {
  flush();
  return !failed_;
}

}  // namespace dbc::ixmark
