#include "ixmark/record.hpp"

#include <algorithm>
#include <cstdio>

#include "common/io.hpp"
#include "common/stop.hpp"
#include "common/wordscan.hpp"
#include "ixmark/read_error.hpp"

namespace dbc::ixmark {

namespace {

constexpr std::uint64_t kNoStart = ~std::uint64_t{0};
constexpr std::size_t kDataBlock = 16384;

// What each byte of the data stands for: a control byte is a space, and with a collating
// sequence every byte but the deleted-space byte is seen through it before anything else.
DecodeTable dataTable(bool ichflg, const Collate& collate) {
  DecodeTable t = cleanedTable(ichflg);
  if (!collate.active()) return t;
  for (int b = 0; b < 256; ++b) {
    int c = collate.colrtn(b < 0x20 ? ' ' : b);
    t.seenAs(b, static_cast<unsigned char>(c), ichflg);
  }
  t.len[kDeleted] = DecodeTable::kDeleted;
  return t;
}

}  // namespace

RecordReader::RecordReader(int txtf, std::uint64_t eofpos, int eofchr, const IndexHeader& h,
                           bool ichflg, const Collate& collate, bool verbose, std::FILE* out,
                           std::string txtflnm)
    : in_(RefillReader::sequential(txtf, kDataBlock)),
      txtflnm_(std::move(txtflnm)),
      eofpos_(eofpos),
      textType_(eofchr != kEofMark),
      h_(h),
      table_(dataTable(ichflg, collate)),
      plainFast_(!collate.active()),
      verbose_(verbose),
      out_(out) {
  buffer2.reserve(kRecordBuffer);
}

int RecordReader::refill() {
  ssize_t n = in_.refill();
  if (n < 0) readError(out_, txtflnm_);
  return n == 0 ? -1 : 0;
}

void RecordReader::tooLong() const {
  std::fprintf(out_, "\nRecord at %lld is longer than %i characters\n",
               static_cast<long long>(txtpos), kRecordBuffer - 1);
  throw Stop{1};
}

void RecordReader::decode(unsigned char c) {
  unsigned char len = table_.len[c];
  if (len == DecodeTable::kRun) {
    int n = getchr();
    if (n > 0) {
      makeRoom(static_cast<std::size_t>(n));
      buffer2.append(static_cast<std::size_t>(n), ' ');
    }
    comprs = 1;
  } else if (len == DecodeTable::kDeleted) {
    txtpos = kNoStart;  // deleted space: the record starts after it
  } else if (len == 1) {
    makeRoom(1);
    buffer2.push_back(table_.text[c][0]);
  } else if (len == 2) {
    makeRoom(2);
    buffer2.append(table_.text[c], 2);
    comprs = 1;  // a digit pair
  }
}

int RecordReader::getrec() {
  if (ended_) return -1;
  buffer2.clear();
  txtpos = kNoStart;
  while (true) {
    if (buffer2.empty() || txtpos == kNoStart) txtpos = txtpos2_;
    // Plain characters, the bulk of every record, are taken a run at a time; they stand for
    // themselves unless a collating sequence translates them.
    if (plainFast_ && in_.pos() < in_.len()) {
      const unsigned char* p = in_.data() + in_.pos();
      std::size_t room = static_cast<std::size_t>(kRecordBuffer - 1) - buffer2.size();
      std::size_t n = plainRun(p, std::min(in_.len() - in_.pos(), room));
      if (n > 0) {
        buffer2.append(reinterpret_cast<const char*>(p), n);
        in_.take(n);
        txtpos2_ += n;
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
    if (c == kRecordMark || (c == '\n' && textType_)) break;
    decode(static_cast<unsigned char>(c));
  }
  return finish();
}

int RecordReader::finish() {
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
