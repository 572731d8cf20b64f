#include "ixmark/compare.hpp"

#include <cstdint>
#include <cstring>

#include "common/codec.hpp"
#include "common/framing_wide.hpp"
#include "common/shell.hpp"
#include "ixmark/read_error.hpp"
#include "ixmark/tagtext.hpp"

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
      in_(RefillReader::sequential(srtf_.get(), bufferSize)),
      table_(cleanedTable(ichflg)),
      out_(out),
      srtflnm_(std::move(srtflnm)) {}

RecordEnd CompressedSorted::frame() {
  std::size_t from = in_.pos();
  for (;;) {
    RecordEnd e = findRecordEndWide(in_.data(), from, in_.len());
    if (e.found) return e;
    std::size_t ahead = e.at - in_.pos();
    ssize_t got = in_.refill();
    if (got < 0) readError(out_, srtflnm_);
    from = in_.pos() + ahead;
    if (got == 0) return {false, in_.len()};
  }
}

int CompressedSorted::getsrt(std::string& buffer1) {
  buffer1.clear();
  return appendsrt(buffer1);
}

int CompressedSorted::appendsrt(std::string& out) {
  const std::size_t start = out.size();
  // The sorted file holds no empty records; should one turn up it is passed over rather than
  // taken for the end.
  while (!ended_) {
    RecordEnd e = frame();
    // A file that stops without its end mark ends where its bytes do; a tag cut short there is
    // still compared, so it shows up in the error file rather than vanishing.
    const unsigned char* b = in_.data();
    const std::string_view record(reinterpret_cast<const char*>(b) + in_.pos(), e.at - in_.pos());
    // Room for the longest text the record could stand for: every two bytes a full space run.
    const std::size_t room = (record.size() / 2 + 1) * 255 + kTagTextSlack;
    if (text_.size() < room) text_.resize(room);
    out.append(reinterpret_cast<const char*>(text_.data()),
               decodeTag(record, table_, text_.data()));
    if (!e.found || b[e.at] == kEofMark) {
      ended_ = true;
      break;
    }
    in_.takeTo(e.at + 1);
    if (out.size() > start) return static_cast<int>(out.size() - start);
  }
  return out.size() == start ? -1 : static_cast<int>(out.size() - start);
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
