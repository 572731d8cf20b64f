#include "testkit/isam.hpp"

#include <cstdlib>
#include <stdexcept>

namespace testkit {

namespace {

std::string fitKey(std::string_view key, int keysiz) {
  std::string k(key.substr(0, static_cast<std::size_t>(keysiz)));
  k.resize(static_cast<std::size_t>(keysiz), ' ');
  return k;
}

std::string digits5(int v) {
  char b[32];
  std::snprintf(b, sizeof b, "%5d", v);
  return std::string(b).substr(0, 5);
}

}  // namespace

int isamKeySize(std::string_view segments) {
  // Numbers are held at 10^9 as the reader holds them, so damaged lists stay countable.
  auto number = [&](std::size_t& i) {
    long long v = 0;
    while (i < segments.size() && segments[i] >= '0' && segments[i] <= '9') {
      if (v < 1000000000) v = v * 10 + (segments[i] - '0');
      ++i;
    }
    return v < 1000000000 ? v : 1000000000;
  };
  long long total = 0;
  std::size_t i = 0;
  while (i < segments.size()) {
    while (i < segments.size() && (segments[i] == ' ' || segments[i] == '\xFA')) ++i;
    if (i >= segments.size()) break;
    long long start = number(i), end = start;
    if (i < segments.size() && segments[i] == '-') {
      ++i;
      end = number(i);
    }
    if (start != 0) total += end - start + 1;
    while (i < segments.size() && segments[i] != ' ' && segments[i] != '\xFA') ++i;
  }
  return static_cast<int>(total < -1000000 ? -1000000 : total > 1000000 ? 1000000 : total);
}

std::string link6(std::uint64_t v) {
  std::string s(6, '\0');
  for (int i = 5; i >= 0; --i) {
    s[static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
    v >>= 8;
  }
  return s;
}

std::string isamHeaderBytes(const IsamHeader& h, std::uint64_t root) {
  std::string b(1024, '\0');
  b[0] = h.type;
  b.replace(13, 6, link6(root));
  b.replace(41, 5, digits5(h.blksiz));
  b.replace(64, 5, digits5(h.recsiz));
  std::string tail = h.dataName;
  if (!h.noSegments) tail += '\xFA' + h.segments + '\xFF';
  if (101 + tail.size() > b.size()) throw std::runtime_error("index header too long");
  b.replace(101, tail.size(), tail);
  return b;
}

std::string uBlockBytes(std::uint64_t leftmost, const std::vector<UEntry>& entries, int keysiz,
                        int blksiz, bool endMark) {
  std::string b = "U";
  b += link6(leftmost);
  for (const UEntry& e : entries) {
    b += fitKey(e.key, keysiz);
    b += link6(e.pos);
    b += link6(e.child);
  }
  if (endMark) b += '\xFF';
  if (b.size() < static_cast<std::size_t>(blksiz)) b.resize(static_cast<std::size_t>(blksiz), '\0');
  return b;
}

std::string vBlockBytes(const std::vector<IsamEntry>& entries, int keysiz, int blksiz,
                        bool endMark) {
  std::string b = "V";
  std::string prev;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::string k = fitKey(entries[i].key, keysiz);
    if (i == 0) {
      b += k;
    } else {
      std::size_t p = 0;
      while (p < k.size() && p < 255 && k[p] == prev[p]) ++p;
      b += static_cast<char>(p);
      b += k.substr(p);
    }
    b += link6(entries[i].pos);
    prev = k;
  }
  if (endMark) b += '\xFF';
  if (b.size() < static_cast<std::size_t>(blksiz)) b.resize(static_cast<std::size_t>(blksiz), '\0');
  return b;
}

IsamFile::IsamFile(IsamHeader header)
    : header_(std::move(header)),
      keysiz_(isamKeySize(header_.segments)),
      bytes_(isamHeaderBytes(header_, 0)) {}

std::uint64_t IsamFile::rawBlock(std::string_view bytes) {
  std::uint64_t pos = bytes_.size();
  std::string b(bytes);
  if (b.size() < static_cast<std::size_t>(header_.blksiz))
    b.resize(static_cast<std::size_t>(header_.blksiz), '\0');
  bytes_ += b;
  return pos;
}

std::uint64_t IsamFile::uBlock(std::uint64_t leftmost, const std::vector<UEntry>& entries) {
  return rawBlock(uBlockBytes(leftmost, entries, keysiz_, header_.blksiz));
}

std::uint64_t IsamFile::vBlock(const std::vector<IsamEntry>& entries) {
  return rawBlock(vBlockBytes(entries, keysiz_, header_.blksiz));
}

void IsamFile::setRoot(std::uint64_t pos) { patch(13, link6(pos)); }

void IsamFile::patch(std::uint64_t offset, std::string_view bytes) {
  if (offset + bytes.size() > bytes_.size()) bytes_.resize(offset + bytes.size(), '\0');
  bytes_.replace(offset, bytes.size(), bytes);
}

void IsamFile::tree(const std::vector<IsamEntry>& sorted, int leafMax, int innerMax) {
  IsamTreeWriter w(keysiz_, header_.blksiz, bytes_.size(), leafMax, innerMax, &bytes_);
  for (const IsamEntry& e : sorted) w.add(e);
  setRoot(w.finish());
}

IsamTreeWriter::IsamTreeWriter(int keysiz, int blksiz, std::uint64_t firstPos, int leafMax,
                               int innerMax, std::string* sink, std::FILE* file)
    : keysiz_(keysiz),
      blksiz_(blksiz),
      leafMax_(leafMax),
      innerMax_(innerMax),
      next_(firstPos),
      sink_(sink),
      file_(file) {}

bool IsamTreeWriter::leafFits() const {
  if (leafMax_ > 0 && leaf_.size() >= static_cast<std::size_t>(leafMax_)) return false;
  std::size_t need = leaf_.empty() ? keysiz_ + 6u : 1u + keysiz_ + 6u;  // worst case, no prefix
  return leafBytes_ + need + 1 <= static_cast<std::size_t>(blksiz_);
}

std::uint64_t IsamTreeWriter::writeBlock(const std::string& block) {
  std::uint64_t pos = next_;
  next_ += block.size();
  if (file_) {
    if (fseeko(file_, static_cast<off_t>(pos), SEEK_SET) != 0 ||
        std::fwrite(block.data(), 1, block.size(), file_) != block.size())
      throw std::runtime_error("index write failed");
  } else {
    if (sink_->size() < pos) sink_->resize(pos, '\0');
    sink_->replace(pos, block.size(), block);
  }
  return pos;
}

std::uint64_t IsamTreeWriter::closeLeaf() {
  if (leaf_.empty()) return 0;
  std::uint64_t pos = writeBlock(vBlockBytes(leaf_, keysiz_, blksiz_));
  leaf_.clear();
  leafBytes_ = 1;
  return pos;
}

void IsamTreeWriter::add(const IsamEntry& e) {
  if (leaf_.empty() || leafFits()) {
    leafBytes_ += leaf_.empty() ? keysiz_ + 6u : 1u + keysiz_ + 6u;
    leaf_.push_back(e);
    return;
  }
  // The leaf is full: this entry goes up as a separator, the leaf being the child on its left.
  std::uint64_t left = closeLeaf();
  insertUp(0, e, left);
}

void IsamTreeWriter::insertUp(std::size_t level, const IsamEntry& e, std::uint64_t left) {
  if (levels_.size() <= level) levels_.resize(level + 1);
  Level& l = levels_[level];
  std::size_t entry = keysiz_ + 12u;
  if (l.entries.empty()) {
    l.leftmost = left;
  } else {
    l.entries.back().child = left;
  }
  bool full = (innerMax_ > 0 && l.entries.size() >= static_cast<std::size_t>(innerMax_)) ||
              l.bytes + entry + 1 > static_cast<std::size_t>(blksiz_);
  if (!full) {
    l.entries.push_back({e.key, e.pos, 0});
    l.bytes += entry;
    return;
  }
  std::uint64_t pos = writeBlock(uBlockBytes(l.leftmost, l.entries, keysiz_, blksiz_));
  levels_[level] = Level{};
  insertUp(level + 1, e, pos);
}

std::uint64_t IsamTreeWriter::finish() {
  std::uint64_t p = closeLeaf();
  for (std::size_t i = 0; i < levels_.size(); ++i) {
    Level& l = levels_[i];
    if (l.entries.empty()) continue;  // opened by a split, never filled: p goes on upwards
    l.entries.back().child = p;
    p = writeBlock(uBlockBytes(l.leftmost, l.entries, keysiz_, blksiz_));
    levels_[i] = Level{};
  }
  return p;
}

}  // namespace testkit
