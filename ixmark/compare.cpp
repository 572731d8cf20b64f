#include "ixmark/compare.hpp"

#include "common/format.hpp"
#include "common/shell.hpp"

namespace dbc::ixmark {

SortCommand sortCommand(const Variant& v, const std::string& tagflnm, const std::string& srtflnm,
                        int keysiz) {
  char tail[64];
  std::snprintf(tail, sizeof tail, " 25-%i %s -M=%i", keysiz + 36, v.sortSwitch, 2 * keysiz + 36);
  return {"DBCSORT " + tagflnm + " " + srtflnm + tail,
          "DBCSORT " + shellWord(tagflnm) + " " + shellWord(srtflnm) + tail};
}

int CompressedSorted::getchr2() {
  if (srtcnt_ == 0) {
    ssize_t n = readFull(srtf_.get(), srtbuf_, sizeof srtbuf_);
    if (n <= 0) return -1;
    srtcnt_ = static_cast<int>(n);
    srtptr_ = 0;
  }
  --srtcnt_;
  return srtbuf_[srtptr_++];
}

int CompressedSorted::getsrt(std::string& buffer1) {
  buffer1.clear();
  // Decoded into a local block first and handed over when it fills or the tag ends: one append
  // per tag instead of one per character.
  char out[512];
  std::size_t k = 0;
  auto put = [&](char c) {
    if (k == sizeof out) {
      buffer1.append(out, k);
      k = 0;
    }
    out[k++] = c;
  };
  // The sorted file holds no empty records; should one turn up it is passed over rather than
  // taken for the end.
  while (!ended_) {
    int c = getchr2();
    // A file that stops without its end mark ends where its bytes do; a tag cut short there is
    // still compared, so it shows up in the error file rather than vanishing.
    if (c < 0 || c == kEofMark) {
      ended_ = true;
      break;
    }
    if (c == '\n' || c == kRecordMark) {
      if (buffer1.empty() && k == 0) continue;
      buffer1.append(out, k);
      return static_cast<int>(buffer1.size());
    }
    if (c < 0x20) c = ' ';
    if (c == kDeleted) continue;
    if (c <= 0x7F) {
      put(static_cast<char>(c));
    } else if (c == kSpaceRun) {
      int n = getchr2();
      for (int i = 0; i < n; ++i) put(' ');
    } else if (c >= kPairFirst && c <= kPairLast) {
      if (!ichflg_) {
        PairChars pc = pairChars(static_cast<unsigned char>(c));
        put(pc.first);
        put(pc.second);
      } else {
        put(static_cast<char>(c));
      }
    }
  }
  buffer1.append(out, k);
  return buffer1.empty() ? -1 : static_cast<int>(buffer1.size());
}

int TextSorted::read(std::string& buffer1) {
  buffer1.assign(static_cast<std::size_t>(getsiz1_), '\0');
  std::size_t n = std::fread(buffer1.data(), 1, buffer1.size(), srtfile_);
  if (n == 0) return -1;
  buffer1.resize(n - 1);
  // The tag text as a C string: a zero byte inside ends it.
  buffer1.resize(std::strlen(buffer1.c_str()));
  return static_cast<int>(buffer1.size());
}

}  // namespace dbc::ixmark
