#include "ixmark/compare.hpp"

#include <cstring>

#include "common/format.hpp"
#include "common/shell.hpp"
#include "ixmark/read_error.hpp"

namespace dbc::ixmark {

SortCommand sortCommand(const Variant& v, const std::string& tagflnm, const std::string& srtflnm,
                        int keysiz) {
  // The sort key runs from the record position's first column to the key's last.
  char tail[64];
  std::snprintf(tail, sizeof tail, " %i-%i %s -M=%i", kTagRecordAt + 1, kTagKeyAt + keysiz,
                v.sortSwitch, 2 * keysiz + kTagKeyAt);
  return {"DBCSORT " + tagflnm + " " + srtflnm + tail,
          "DBCSORT " + shellWord(tagflnm) + " " + shellWord(srtflnm) + tail};
}

CompressedSorted::CompressedSorted(Fd srtf, bool ichflg, std::FILE* out, std::size_t bufferSize,
                                   std::string srtflnm)
    : srtf_(std::move(srtf)),
      ichflg_(ichflg),
      out_(out),
      srtflnm_(std::move(srtflnm)),
      buf_(bufferSize < 1 ? 1 : bufferSize) {}

bool CompressedSorted::refill() {
  if (eof_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, len_ - pos_);
    len_ -= pos_;
    pos_ = 0;
  }
  if (len_ == buf_.size()) buf_.resize(buf_.size() * 2);
  ssize_t n = readFull(srtf_.get(), buf_.data() + len_, buf_.size() - len_);
  if (n < 0) readError(out_, srtflnm_);
  if (n == 0) {
    eof_ = true;
    return false;
  }
  len_ += static_cast<std::size_t>(n);
  return true;
}

long CompressedSorted::findEnd(std::size_t from) const {
  const unsigned char* const b = buf_.data();
  for (std::size_t i = from; i < len_; ++i) {
    unsigned char c = b[i];
    if (c == kRecordMark || c == '\n' || c == kEofMark) return static_cast<long>(i);
    if (c == kSpaceRun && ++i == len_) break;  // the count byte is never a terminator
  }
  return -1;
}

namespace {

// What each byte of a sorted tag decodes to, but for the space-run marker: up to two
// characters and how many of them count. One lookup in place of a chain of tests keeps the
// decoder's branches few, as tags mix plain, pair and run bytes unpredictably.
struct DecodeTable {
  char text[256][2];
  unsigned char len[256];
};

constexpr DecodeTable makeDecodeTable(bool ichrs) {
  DecodeTable t{};
  for (int c = 0; c < 256; ++c) {
    t.text[c][0] = t.text[c][1] = ' ';
    if (c < 0x20) {
      t.len[c] = 1;  // a control character is a space
    } else if (c <= 0x7F || (ichrs && c >= kPairFirst && c <= kPairLast)) {
      t.text[c][0] = static_cast<char>(c);
      t.len[c] = 1;
    } else if (c >= kPairFirst && c <= kPairLast) {
      t.text[c][0] = pairText(static_cast<unsigned char>(c))[0];
      t.text[c][1] = pairText(static_cast<unsigned char>(c))[1];
      t.len[c] = 2;
    } else {
      t.len[c] = 0;  // 0xFF, a deleted character, and the bytes that are no character
    }
  }
  return t;
}

constexpr DecodeTable kPairsDecoded = makeDecodeTable(false);
constexpr DecodeTable kBytesKept = makeDecodeTable(true);

}  // namespace

void CompressedSorted::decode(const unsigned char* p, const unsigned char* e,
                              std::string& buffer1) const {
  // Decoded into a local block, handed over when it runs short of room for a space run and at
  // the end: one append per tag rather than one per character.
  const DecodeTable& t = ichflg_ ? kBytesKept : kPairsDecoded;
  char out[1024];
  constexpr std::size_t kRoom = sizeof out - 255;
  char* o = out;
  while (p < e) {
    if (static_cast<std::size_t>(o - out) > kRoom) {
      buffer1.append(out, static_cast<std::size_t>(o - out));
      o = out;
    }
    unsigned char c = *p++;
    if (c == kSpaceRun) {
      // A count cut off by the end of the file stands for no spaces.
      if (p < e) {
        std::memset(o, ' ', *p);
        o += *p++;
      }
    } else {
      std::memcpy(o, t.text[c], 2);
      o += t.len[c];
    }
  }
  buffer1.append(out, static_cast<std::size_t>(o - out));
}

int CompressedSorted::getsrt(std::string& buffer1) {
  buffer1.clear();
  // The sorted file holds no empty records; should one turn up it is passed over rather than
  // taken for the end.
  while (!ended_) {
    // Searched again from the record's start after a refill: only there is it known which
    // byte is a run count.
    long end = findEnd(pos_);
    while (end < 0 && refill()) end = findEnd(pos_);
    const unsigned char* const b = buf_.data();
    // A file that stops without its end mark ends where its bytes do; a tag cut short there is
    // still compared, so it shows up in the error file rather than vanishing.
    std::size_t stop = end < 0 ? len_ : static_cast<std::size_t>(end);
    decode(b + pos_, b + stop, buffer1);
    if (end < 0 || b[stop] == kEofMark) {
      ended_ = true;
      break;
    }
    pos_ = stop + 1;
    if (!buffer1.empty()) return static_cast<int>(buffer1.size());
  }
  return buffer1.empty() ? -1 : static_cast<int>(buffer1.size());
}

int TextSorted::read(std::string& buffer1) {
  buffer1.assign(static_cast<std::size_t>(getsiz1_), '\0');
  std::size_t n = std::fread(buffer1.data(), 1, buffer1.size(), srtfile_);
  if (std::ferror(srtfile_)) readError(out_, srtflnm_);
  if (n == 0) return -1;
  buffer1.resize(n - 1);
  // The tag text as a C string: a zero byte inside ends it.
  buffer1.resize(std::strlen(buffer1.c_str()));
  return static_cast<int>(buffer1.size());
}

}  // namespace dbc::ixmark
