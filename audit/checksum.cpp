#include "audit/checksum.hpp"

namespace dbc::audit {

void ChecksumMaker::processBlock(const unsigned char* data, std::size_t n) {
  const unsigned char* p = data;
  const unsigned char* end = data + n;
  while (p < end) {
    std::uint64_t h = recflg ? chksum : kChecksumStart;
    const unsigned char* q = span_(h, p, end);
    if (q > p) {
      if (!recflg) {
        recpos = filpos + (p - data);
        recflg = true;
      }
      chksum = h;
      recndx += q - p;
    }
    if (q == end) break;
    if (*q == dbc::kRecordMark) {
      if (recflg) {
        if (pendingCount_ == kPendingLines) flush();
        pending_[pendingCount_++] = {recpos, static_cast<std::int64_t>(chksum)};
      }
      recflg = false;
      recndx = 0;
      chksum = 0;
    }
    p = q + 1;
  }
  filpos += static_cast<std::int64_t>(n);
  flush();
}

void ChecksumMaker::flush() {
  write_(out_, pending_, pendingCount_);
  pendingCount_ = 0;
}

}  // namespace dbc::audit
