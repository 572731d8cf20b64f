#include "audit/pick.hpp"

#include "audit/lists.hpp"
#include "common/format.hpp"

namespace dbc::audit {

Picker::Picker(LineReader& mrgfile, BlockReader& txtfile, std::int64_t recsiz, Output& out)
    : recsiz(recsiz),
      mrgfile_(mrgfile),
      txtfile_(txtfile),
      out_(out),
      buffer_(new unsigned char[kBlockSize]) {}

void Picker::run() {
  std::string_view line;
  while (mrgfile_.next(line)) pickLine(line);
  out_.put(static_cast<char>(dbc::kEofMark));
}

void Picker::pickLine(std::string_view line) {
  std::string_view text = line.substr(0, line.find('\n'));
  out_.put(text);
  out_.put('|');
  if (line[0] == kAdded || line[0] == kChanged) {
    out_.put(static_cast<char>(dbc::kRecordMark));
    return;
  }
  // Anything else, kChangedNew, kRemoved or a stray line, shows the record's present bytes. A
  // position that does not parse keeps the one before it.
  scanPosition(line.substr(1), recpos);
  copyRecord(recpos);
  // Whatever the data held, the change line stays a record of its own and the stream ends only
  // at its own end mark: a copy that found no mark (deleted space, a file that ends early, no
  // record length) or that met the data file's end mark is ended here.
  out_.put(static_cast<char>(dbc::kRecordMark));
}

void Picker::copyRecord(std::int64_t pos) {
  // Long records are read in blocks, so any record length is handled whole.
  std::int64_t left = recsiz;
  while (left > 0) {
    std::size_t want =
        left < static_cast<std::int64_t>(kBlockSize) ? static_cast<std::size_t>(left) : kBlockSize;
    std::size_t got = txtfile_.at(pos, buffer_.get(), want);
    for (std::size_t j = 0; j < got; ++j) {
      unsigned char chr = buffer_[j];
      if (chr == dbc::kDeleted) continue;
      if (chr == dbc::kRecordMark || chr == dbc::kEofMark) return;
      out_.put(static_cast<char>(chr));
    }
    if (got < want) return;  // the end of the file
    pos += static_cast<std::int64_t>(got);
    left -= static_cast<std::int64_t>(got);
  }
}

}  // namespace dbc::audit
