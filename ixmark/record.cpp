#include "ixmark/record.hpp"

#include <cstdio>

#include "common/format.hpp"
#include "common/io.hpp"
#include "common/stop.hpp"
#include "ixmark/read_error.hpp"

namespace dbc::ixmark {

namespace {
constexpr std::uint64_t kNoStart = ~std::uint64_t{0};
}

RecordReader::RecordReader(int txtf, std::uint64_t eofpos, int eofchr, const IndexHeader& h,
                           bool ichflg, const Collate& collate, bool verbose, std::FILE* out,
                           std::string txtflnm)
    : txtf_(txtf),
      txtflnm_(std::move(txtflnm)),
      eofpos_(eofpos),
      textType_(eofchr != kEofMark),
      h_(h),
      ichflg_(ichflg),
      collate_(collate),
      verbose_(verbose),
      out_(out) {
  buffer2.reserve(kRecordBuffer);
}

int RecordReader::getchr() {
  if (txtcnt_ == 0) {
    ssize_t n = readFull(txtf_, txtbuf_, sizeof txtbuf_);
    if (n < 0) readError(out_, txtflnm_);
    if (n == 0) return -1;
    txtcnt_ = static_cast<int>(n);
    txtptr_ = 0;
  }
  --txtcnt_;
  ++txtpos2_;
  return txtbuf_[txtptr_++];
}

void RecordReader::append(char c) {
  if (buffer2.size() + 1 >= static_cast<std::size_t>(kRecordBuffer)) {
    std::fprintf(out_, "\nRecord at %lld is longer than %i characters\n",
                 static_cast<long long>(txtpos), kRecordBuffer - 1);
    throw Stop{1};
  }
  buffer2 += c;
}

int RecordReader::getrec() {
  if (ended_) return -1;
  buffer2.clear();
  txtpos = kNoStart;
  while (true) {
    if (buffer2.empty() || txtpos == kNoStart) txtpos = txtpos2_;
    // Plain characters, the bulk of every record, are taken a run at a time; the rules below
    // leave each of them as it is unless a collating sequence translates it.
    if (txtcnt_ > 0 && !collate_.active()) {
      const unsigned char* p = txtbuf_ + txtptr_;
      int room = kRecordBuffer - 1 - static_cast<int>(buffer2.size());
      int limit = txtcnt_ < room ? txtcnt_ : room;
      int n = static_cast<int>(plainRun(p, static_cast<std::size_t>(limit)));
      if (n > 0) {
        buffer2.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
        txtptr_ += n;
        txtcnt_ -= n;
        txtpos2_ += static_cast<std::uint64_t>(n);
        continue;
      }
    }
    int c = getchr();
    if (c < 0) {
      // The bytes ran out without an end mark: a record read so far counts as complete.
      ended_ = true;
      if (buffer2.empty()) return -1;
      break;
    }
    if (c == kEofMark) {
      if (txtpos >= eofpos_) return -1;
      std::fprintf(out_, "\nEmbedded EOF at %lld\n", static_cast<long long>(txtpos));
      throw Stop{1};
    }
    if (c == '\n') {
      if (textType_) break;
      c = ' ';
    }
    if (c < 0x20) c = ' ';
    if (c == kRecordMark) break;
    if (c == kDeleted) {
      txtpos = kNoStart;
      continue;
    }
    if (collate_.active()) c = collate_.colrtn(c);
    if (c <= 0x7F) {
      append(static_cast<char>(c));
    } else if (c == kSpaceRun) {
      int n = getchr();
      if (n < 0) n = 0;
      for (int k = 0; k < n; ++k) append(' ');
      comprs = 1;
    } else if (c >= kPairFirst && c <= kPairLast) {
      if (!ichflg_) {
        PairChars pc = pairChars(static_cast<unsigned char>(c));
        append(pc.first);
        append(pc.second);
        comprs = 1;
      } else {
        append(static_cast<char>(c));
      }
    }
  }
  int i = static_cast<int>(buffer2.size());
  if (h_.recsiz != 0 && i != h_.recsiz) {
    std::fprintf(out_, "\n%lld %li bad rec size %i %i\n", static_cast<long long>(txtpos), reccnt2,
                 i, h_.recsiz);
    throw Stop{0};
  }
  if (i < minsiz) minsiz = i;
  if (i > maxsiz) maxsiz = i;
  if (i == 0) return -1;
  ++reccnt2;
  if (verbose_ && reccnt2 % 1000 == 0) std::fprintf(out_, "\r%10li", reccnt2);
  keyval.clear();
  for (int n = 0; n < kKeySegments && h_.strpos[n] != 0; ++n) {
    std::size_t from = static_cast<std::size_t>(h_.strpos[n] - 1);
    if (from < buffer2.size()) keyval.append(buffer2, from, static_cast<std::size_t>(h_.lenpos[n]));
  }
  if (static_cast<int>(keyval.size()) == h_.keysiz) return 0;
  std::fprintf(out_, "Bad key length %i %i %lld-- %s\n", static_cast<int>(keyval.size()), h_.keysiz,
               static_cast<long long>(txtpos), keyval.c_str());
  throw Stop{0};
}

}  // namespace dbc::ixmark
