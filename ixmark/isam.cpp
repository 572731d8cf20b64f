#include "ixmark/isam.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "common/io.hpp"
#include "common/stop.hpp"
#include "ixmark/read_error.hpp"

namespace dbc::ixmark {

namespace {

// atoi over a fixed-width field: leading spaces, then digits up to the first non-digit.
int fieldNumber(const unsigned char* p, int width) {
  int i = 0;
  while (i < width && (p[i] == ' ' || p[i] == '\t')) ++i;
  long long v = 0;
  while (i < width && p[i] >= '0' && p[i] <= '9') {
    v = v * 10 + (p[i] - '0');
    ++i;
  }
  return static_cast<int>(v);
}

int leadingNumber(std::string_view s, std::size_t& i) {
  long long v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (v < 1000000000) v = v * 10 + (s[i] - '0');
    ++i;
  }
  // Far above any real column, and low enough that a segment's length stays an int.
  return static_cast<int>(v < 1000000000 ? v : 1000000000);
}

}  // namespace

std::uint64_t getlnk(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 6; ++i) v = (v << 8) | p[i];
  return v;
}

bool parseSegments(std::string_view list, IndexHeader& h) {
  std::memset(h.strpos, 0, sizeof h.strpos);
  std::memset(h.endpos, 0, sizeof h.endpos);
  std::memset(h.lenpos, 0, sizeof h.lenpos);
  int n = 0;
  long long keysiz = 0;
  std::size_t i = 0;
  auto sep = [](char c) { return c == ' ' || c == '\xFA'; };
  while (true) {
    while (i < list.size() && sep(list[i])) ++i;
    if (i >= list.size()) break;
    if (n == kMaxSegments) return false;
    std::size_t end = i;
    while (end < list.size() && !sep(list[end])) ++end;
    std::string_view tok = list.substr(i, end - i);
    std::size_t j = 0;
    h.strpos[n] = leadingNumber(tok, j);
    h.endpos[n] = h.strpos[n];
    if (j > 0 && j < tok.size() && tok[j] == '-') {
      ++j;
      h.endpos[n] = leadingNumber(tok, j);
    }
    h.lenpos[n] = h.strpos[n] != 0 ? h.endpos[n] - h.strpos[n] + 1 : 0;
    keysiz += h.lenpos[n];
    ++n;
    i = end;
  }
  h.keysiz = static_cast<int>(keysiz < -1000000 ? -1000000 : keysiz > 1000000 ? 1000000 : keysiz);
  return true;
}

namespace {

// The key segments split out of their list, refused where they would overrun the key.
void checkSegments(IndexHeader& h, const std::string& orgnam, std::FILE* out) {
  if (!parseSegments(h.ndxpos, h)) {
    std::fprintf(out, "Damaged index file %s: more than %i key segments\n", orgnam.c_str(),
                 kMaxSegments);
    throw Stop{1};
  }
  for (int n = 0; n < kMaxSegments; ++n) {
    if (h.lenpos[n] < 0) {
      std::fprintf(out, "Damaged index file %s: key segment %i-%i ends before it starts\n",
                   orgnam.c_str(), h.strpos[n], h.endpos[n]);
      throw Stop{1};
    }
  }
  if (h.keysiz > kMaxKeySize) {
    std::fprintf(out, "Damaged index file %s: key size %i is above %i\n", orgnam.c_str(), h.keysiz,
                 kMaxKeySize);
    throw Stop{1};
  }
}

}  // namespace

IndexHeader readHeader(const unsigned char* hdr, const std::string& orgnam, bool verbose,
                       std::FILE* out) {
  IndexHeader h;
  if (hdr[0] != 'I') {
    std::fprintf(out, "Bad index file %s \n", orgnam.c_str());
    throw Stop{1};
  }
  h.blksiz = fieldNumber(hdr + 41, 5);
  if (verbose) std::fprintf(out, "Block size is %i\n", h.blksiz);
  if (h.blksiz <= 0 || h.blksiz > kBlockMax) {
    std::fprintf(out, "Damaged index file %s: block size %i is not between 1 and %i\n",
                 orgnam.c_str(), h.blksiz, kBlockMax);
    throw Stop{1};
  }
  h.recsiz = fieldNumber(hdr + 64, 5);
  if (verbose && h.recsiz != 0) std::fprintf(out, "Record size is %i\n", h.recsiz);

  int i = 101;
  while (i < kHeaderSize && hdr[i] == 0xFA) ++i;
  int nameStart = i;
  while (i < kHeaderSize && hdr[i] != 0xFA) ++i;
  if (i >= kHeaderSize) {
    std::fprintf(out, "Incompatible index file\n");
    throw Stop{1};
  }
  // The name ends at a zero byte as a C string does.
  std::string name(reinterpret_cast<const char*>(hdr + nameStart), i - nameStart);
  h.txtnam = name.substr(0, name.find('\0'));
  int segStart = ++i;
  int segEnd = segStart;
  while (segEnd < kHeaderSize && hdr[segEnd] != 0xFF) ++segEnd;
  if (segEnd >= kHeaderSize) {
    segEnd = segStart;
    while (segEnd < kHeaderSize && hdr[segEnd] != 0) ++segEnd;
  }
  std::string list(reinterpret_cast<const char*>(hdr + segStart), segEnd - segStart);
  h.ndxpos = list.substr(0, list.find('\0'));
  checkSegments(h, orgnam, out);
  h.toplnk = getlnk(hdr + 13);
  return h;
}

IsamWalk::IsamWalk(int isif, const IndexHeader& h, std::string orgnam, std::FILE* out,
                   std::string isiflnm)
    : isif_(isif), h_(h), orgnam_(std::move(orgnam)), isiflnm_(std::move(isiflnm)), out_(out) {
  struct stat st;
  if (fstat(isif_, &st) == 0 && st.st_size > 0) fileSize_ = static_cast<std::uint64_t>(st.st_size);
}

void IsamWalk::damaged(const char* what, std::uint64_t pos) {
  std::fprintf(out_, "\nDamaged index file %s: %s at %llu\n", orgnam_.c_str(), what,
               static_cast<unsigned long long>(pos));
  throw Stop{1};
}

void IsamWalk::putstk(std::uint64_t pos, int off) {
  if (stkptr_ + 1 >= kStackMax) damaged("tree deeper than the walk stack, block", pos);
  ++stkptr_;
  stack1_[stkptr_] = pos;
  stack2_[stkptr_] = off;
}

bool IsamWalk::readBlock(std::uint64_t pos) {
  unsigned char* other = buffer1_ == blocks_[0] ? blocks_[1] : blocks_[0];
  if (pos == otherPos_) {
    std::swap(curPos_, otherPos_);
    buffer1_ = other;
    return true;
  }
  if (curPos_ != 0 && buffer1_[0] == 'U') {
    otherPos_ = curPos_;
    buffer1_ = other;
  }
  curPos_ = 0;
  ssize_t n = preadFull(isif_, buffer1_, static_cast<std::size_t>(h_.blksiz),
                        static_cast<off_t>(pos > INT64_MAX ? INT64_MAX : pos));
  if (n < 0) readError(out_, isiflnm_);
  if (n == 0) return false;
  curPos_ = pos;
  // A block cut short by the end of the file ends its entries where the file ends.
  if (n < h_.blksiz) std::memset(buffer1_ + n, 0xFF, static_cast<std::size_t>(h_.blksiz - n));
  return true;
}

void IsamWalk::descend(std::uint64_t child, std::uint64_t from) {
  for (int s = 0; s <= stkptr_; ++s)
    if (stack1_[s] == child) damaged("link back into the walk, block", from);
  if (++descents_ > maxDescents_) damaged("block linked more than once, block", from);
  putstk(child, 1);
}

void IsamWalk::walkU(std::uint64_t filpos1, int bufpos, const EntryVisitor& wrttag1) {
  const int blksiz = h_.blksiz;
  const int keysiz = h_.keysiz;
  char keyval[kMaxKeySize + 1];
  if (bufpos == 1) {
    if (blksiz < 7) damaged("entry runs past the end of the block", filpos1);
    std::uint64_t left = getlnk(buffer1_ + 1);
    if (left != 0) {
      putstk(filpos1, 7);
      descend(left, filpos1);
      return;
    }
    bufpos = 7;
  }
  while (bufpos < blksiz && buffer1_[bufpos] != 0xFF) {
    if (bufpos + keysiz + 12 > blksiz) damaged("entry runs past the end of the block", filpos1);
    int k = 0;
    for (; k < keysiz && buffer1_[bufpos + k] != 0; ++k) keyval[k] = buffer1_[bufpos + k];
    for (; k <= keysiz; ++k) keyval[k] = 0;
    bufpos += keysiz;
    wrttag1({keyval, getlnk(buffer1_ + bufpos), filpos1, bufpos});
    bufpos += 6;
    std::uint64_t child = getlnk(buffer1_ + bufpos);
    bufpos += 6;
    if (child != 0) {
      putstk(filpos1, bufpos);
      descend(child, filpos1);
      return;
    }
  }
}

void IsamWalk::walkV(std::uint64_t filpos1, int bufpos, const EntryVisitor& wrttag1, bool ichflg) {
  const int blksiz = h_.blksiz;
  const int keysiz = h_.keysiz;
  // The previous key of the block, which each entry's key starts from, is the key handed over
  // last: the writer takes a copy of it and leaves it as it was.
  char keyval[kMaxKeySize + 1];
  bool first = true;
  while (bufpos < blksiz && buffer1_[bufpos] != 0xFF) {
    if (first) {
      if (bufpos + keysiz + 6 > blksiz) damaged("entry runs past the end of the block", filpos1);
      for (int k = 0; k < keysiz; ++k) {
        unsigned char c = buffer1_[bufpos + k];
        if (c < 0x20 || c > 0xF8 || (c > 0x7E && !ichflg)) c = ' ';
        keyval[k] = static_cast<char>(c);
      }
      keyval[keysiz] = 0;
      bufpos += keysiz;
      first = false;
    } else {
      int p = buffer1_[bufpos];
      if (p > keysiz) damaged("shared key count above the key size", filpos1);
      if (bufpos + 1 + (keysiz - p) + 6 > blksiz)
        damaged("entry runs past the end of the block", filpos1);
      ++bufpos;
      std::memcpy(keyval + p, buffer1_ + bufpos, static_cast<std::size_t>(keysiz - p));
      bufpos += keysiz - p;
    }
    std::uint64_t txtpos = getlnk(buffer1_ + bufpos);
    bufpos += 6;
    wrttag1({keyval, txtpos, filpos1, bufpos});
  }
}

void IsamWalk::walk(const EntryVisitor& wrttag1, bool ichflg) {
  // In a sound tree every block is entered from its parent once; more descents than the file
  // has blocks means links that lead somewhere twice.
  maxDescents_ = fileSize_ / static_cast<std::uint64_t>(h_.blksiz) + 1;
  stkptr_ = -1;
  putstk(h_.toplnk, 1);
  while (stkptr_ >= 0) {
    std::uint64_t filpos1 = stack1_[stkptr_];
    int bufpos = stack2_[stkptr_];
    --stkptr_;
    if (filpos1 == 0) break;
    if (!readBlock(filpos1)) break;
    if (buffer1_[0] == 'U')
      walkU(filpos1, bufpos, wrttag1);
    else if (buffer1_[0] == 'V')
      walkV(filpos1, bufpos, wrttag1, ichflg);
  }
}

}  // namespace dbc::ixmark
