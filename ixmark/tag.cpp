#include "ixmark/tag.hpp"

#include <array>
#include <cstring>
#include <string_view>

#include "common/codec.hpp"
#include "common/decimal.hpp"
#include "common/wordscan.hpp"
#include "ixmark/wordencode.hpp"

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

// The pair code of each two-digit number.
constexpr auto kPairCodes = [] {
  std::array<unsigned char, 100> t{};
  for (int i = 0; i < 100; ++i)
    t[static_cast<std::size_t>(i)] = pairCode(static_cast<unsigned char>('0' + i / 10),
                                              static_cast<unsigned char>('0' + i % 10));
  return t;
}();

// Compressed bytes written a character or a number at a time, as encodeTo would write them for
// the whole text: a digit is held until the next character shows whether the two make a pair.
class TagEncoder {
 public:
  TagEncoder(char* out, bool ichflg) : out_(out), pairs_(!ichflg) {}

  void number(std::uint64_t v, int width) {
    const int k = decimalDigitCount(v);
    const int spaces = width - k;
    if (spaces > 0) {
      release();
      if (spaces == 1) {
        *out_++ = ' ';
      } else {
        *out_++ = static_cast<char>(kSpaceRun);
        *out_++ = static_cast<char>(spaces);
      }
    }
    if (!pairs_ || held_ != 0) {  // a digit of the number before still waits for its partner
      digits(v);
      return;
    }
    // Paired from the left: an odd last digit waits for what follows, the others pair in
    // the same groups of two that dividing by 100 gives.
    if (k % 2 == 1) {
      held_ = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    char* const end = out_ + k / 2;
    for (char* o = end; o > out_; v /= 100) *--o = static_cast<char>(kPairCodes[v % 100]);
    out_ = end;
  }
  // The key, up to its first zero byte; ends the tag.
  char* key(const char* k) {
    std::string_view rest(k);
    if (held_ != 0 && !rest.empty() && pairIndex(static_cast<unsigned char>(rest[0])) >= 0) {
      *out_++ = static_cast<char>(pairCode(static_cast<unsigned char>(held_), rest[0]));
      held_ = 0;
      rest.remove_prefix(1);
    }
    release();
    return encodeWords(rest, !pairs_, out_);
  }

 private:
  void digit(char c) {
    if (!pairs_) {
      *out_++ = c;
    } else if (held_ != 0) {
      *out_++ = static_cast<char>(pairCode(static_cast<unsigned char>(held_), c));
      held_ = 0;
    } else {
      held_ = c;
    }
  }
  // A number one digit at a time, for the rare number that fills its columns after a digit.
  void digits(std::uint64_t v) {
    char buf[20];
    char* const end = buf + sizeof buf;
    char* d = end;
    do *--d = static_cast<char>('0' + v % 10);
    while ((v /= 10) != 0);
    for (; d < end; ++d) digit(*d);
  }
  void release() {
    if (held_ != 0) *out_++ = held_;
    held_ = 0;
  }

  char* out_;
  bool pairs_;
  char held_ = 0;  // a digit waiting for its partner
};

}  // namespace

bool printable(const unsigned char* key, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8)
    if (outsideRange<0x20, 0x7E>(loadWord(key + i)) != 0) return false;
  for (; i < n; ++i)
    if (key[i] < 0x20 || key[i] > 0x7E) return false;
  return true;
}

char* encodeTagTo(char* out, std::uint64_t filpos1, int bufpos, std::uint64_t txtpos,
                  const char* key, bool ichflg) {
  TagEncoder e(out, ichflg);
  e.number(filpos1, kTagNumberWidth);
  e.number(static_cast<std::uint64_t>(bufpos < 0 ? 0 : bufpos), kTagNumberWidth);
  e.number(txtpos, kTagNumberWidth);
  return e.key(key);
}

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

int TagWriter::formPrintable(const IndexEntry& e, char* key, char* tag) const {
  auto* k = reinterpret_cast<unsigned char*>(key);
  std::memcpy(k, e.keyval, static_cast<std::size_t>(keysiz_));
  k[keysiz_] = 0;
  // Nearly every key is printable through and through; only the others need the cleaning rules.
  if (!printable(k, static_cast<std::size_t>(keysiz_))) return -1;
  collateKey(k);
  return formTagOf(e, key, tag);
}

void TagWriter::collateKey(unsigned char* key) const {
  if (variant_.collate && collate_.active())
    for (int i = 0; i < keysiz_; ++i) key[i] = static_cast<unsigned char>(collate_.colrtn(key[i]));
}

int TagWriter::formTagOf(const IndexEntry& e, const char* key, char* tag) const {
  // ixmark3's tags are compressed straight from their parts: forming the text first and
  // compressing it would take twice as long.
  char* const end = variant_.compressedTags
                        ? encodeTagTo(tag, e.filpos1, e.bufpos, e.txtpos, key, ichflg_)
                        : formTag(tag, e.filpos1, e.bufpos, e.txtpos, key);
  return static_cast<int>(end - tag);
}

void TagWriter::wrttag1(const IndexEntry& e) {
  count();
  Parts& p = parts_[cur_];
  int len = formPrintable(e, p.key, tags_[cur_]);
  if (len < 0) {
    auto* key = reinterpret_cast<unsigned char*>(p.key);
    cleanKey(key, e.txtpos);
    collateKey(key);
    len = formTagOf(e, p.key, tags_[cur_]);
  }
  keep(e, len);
}

void TagWriter::wrttag1(const IndexEntry& e, const char* tag, int len) {
  if (len < 0) {
    wrttag1(e);
    return;
  }
  count();
  std::memcpy(parts_[cur_].key, e.keyval, static_cast<std::size_t>(keysiz_) + 1);
  std::memcpy(tags_[cur_], tag, static_cast<std::size_t>(len));
  keep(e, len);
}

void TagWriter::count() {
  ++reccnt1;
  if (verbose_ && reccnt1 % 10000 == 0) std::fprintf(messages_, "\r%10li", reccnt1);
  tagerr1 = 0;
}

void TagWriter::keep(const IndexEntry& e, int len) {
  Parts& p = parts_[cur_];
  p.filpos1 = e.filpos1;
  p.bufpos = e.bufpos;
  p.txtpos = e.txtpos;
  const char* const tag = tags_[cur_];
  if (len == lens_[cur_ ^ 1] && std::memcmp(tag, tags_[cur_ ^ 1], len) == 0 &&
      (!variant_.compressedTags || sameText())) {
    char text[kTagMax];
    const int n = static_cast<int>(formTag(text, p.filpos1, p.bufpos, p.txtpos, p.key) - text);
    std::fprintf(messages_, "Duplicate record in index: %.*s\n", n, text);
    return;
  }
  if (outlen_ + static_cast<std::size_t>(len) + 1 > sizeof out_) flush();
  std::memcpy(out_ + outlen_, tag, static_cast<std::size_t>(len));
  outlen_ += static_cast<std::size_t>(len);
  out_[outlen_++] = variant_.compressedTags ? static_cast<char>(kRecordMark) : '\n';
  lens_[cur_] = len;
  cur_ ^= 1;
}

bool TagWriter::sameText() const {
  char a[kTagMax], b[kTagMax];
  const Parts& x = parts_[0];
  const Parts& y = parts_[1];
  const char* ae = formTag(a, x.filpos1, x.bufpos, x.txtpos, x.key);
  const char* be = formTag(b, y.filpos1, y.bufpos, y.txtpos, y.key);
  return std::string_view(a, static_cast<std::size_t>(ae - a)) ==
         std::string_view(b, static_cast<std::size_t>(be - b));
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
