// The tag writer: one tag per index entry, naming where the entry lies in the index, the record
// it points to and its cleaned key. ixmark3 writes compressed DB/C records, ixmark text lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "ixmark/collate.hpp"
#include "ixmark/isam.hpp"
#include "ixmark/variant.hpp"

namespace dbc::ixmark {

// A tag's text, "%12lld%12i%12lld%s": three numbers right-aligned in 12 columns each (the index
// block's position, the entry's offset in the block, the record's position in the data file),
// then the key up to its first zero byte. Sorting and comparing read the tag from the record
// position on, so a tag orders by record position, then key.
inline constexpr int kTagNumberWidth = 12;
inline constexpr int kTagBlockAt = 0;
inline constexpr int kTagOffsetAt = kTagBlockAt + kTagNumberWidth;
inline constexpr int kTagRecordAt = kTagOffsetAt + kTagNumberWidth;
inline constexpr int kTagKeyAt = kTagRecordAt + kTagNumberWidth;

// `v` right-aligned in `width` columns, space-filled, as "%12lld" writes a number that fits;
// returns the end. Room for max(width, 20) characters is needed at `at`.
char* putRight(char* at, std::uint64_t v, int width);

// The text of one tag.
std::string tagText(std::uint64_t filpos1, int bufpos, std::uint64_t txtpos, const char* key);

// The compressed record of one tag, 0xFA included: space runs, and digit pairs unless `ichflg`.
void encodeTag(const std::string& text, bool ichflg, std::string& out);

// The compressed record of one tag, without its 0xFA, formed at `out` straight from its parts:
// the bytes encodeTag gives for tagText's text, without forming the text first. Room for
// kTagMax bytes is needed at `out`; returns the end.
char* encodeTagTo(char* out, std::uint64_t filpos1, int bufpos, std::uint64_t txtpos,
                  const char* key, bool ichflg);

// Whether every one of the `n` bytes at `key` is a printable character, 0x20 to 0x7E.
bool printable(const unsigned char* key, std::size_t n);

// The longest tag text: numbers of a damaged index may be wider than their columns.
inline constexpr int kTagMax = 3 * 20 + kMaxKeySize;

class TagWriter {
 public:
  // The invalid characters and duplicates met, and the verbose count, are reported on `out`.
  TagWriter(const Variant& variant, bool ichflg, const Collate& collate, int keysiz, bool verbose,
            std::FILE* tagfile, std::FILE* out);
  // What a run stopped part way leaves in the tag file is every tag formed so far.
  ~TagWriter() { flush(); }
  TagWriter(const TagWriter&) = delete;
  TagWriter& operator=(const TagWriter&) = delete;
  void wrttag1(const IndexEntry& e);
  // The same for an entry whose tag formPrintable() has formed already, perhaps on another
  // thread: `e` with the key it formed, the tag and its length (-1: not formed, `e` as walked).
  void wrttag1(const IndexEntry& e, const char* tag, int len);
  // The part of wrttag1 that says nothing and changes nothing, for a key printable throughout:
  // the key as it goes into the tag at `key` (keysiz + 1 bytes), the tag at `tag` (kTagMax
  // bytes), and its length; -1, with neither formed, for a key that needs cleaning.
  int formPrintable(const IndexEntry& e, char* key, char* tag) const;
  // Hands the tags still held over to the file; false when a write failed.
  bool finish();

  long reccnt1 = 0;
  long tagerr1 = 0;
  long tagerr2 = 0;

 private:
  // The newline, invalid-character and cleaning rules, for a key that is not printable throughout.
  void cleanKey(unsigned char* key, std::uint64_t txtpos);
  void collateKey(unsigned char* key) const;
  // The tag of `e` with the key `key`, at `tag`; its length.
  int formTagOf(const IndexEntry& e, const char* key, char* tag) const;
  // Counts the entry, and says how far the count has come.
  void count();
  // Writes the tag formed in tags_[cur_] (of `len` bytes, from the key in parts_[cur_]) unless
  // it repeats the one before, which is said instead.
  void keep(const IndexEntry& e, int len);
  void flush();

  const Variant& variant_;
  bool ichflg_;
  const Collate& collate_;
  int keysiz_;
  bool verbose_;
  std::FILE* tagfile_;
  std::FILE* messages_;
  // Whether the tags formed in tags_[0] and tags_[1] have the same text. Equal texts always
  // encode alike; equal encodings are checked against the texts, which a collating sequence or
  // a number wider than its columns could make differ.
  bool sameText() const;

  // What a tag is formed from: the entry's numbers and its cleaned key.
  struct Parts {
    std::uint64_t filpos1 = 0;
    int bufpos = 0;
    std::uint64_t txtpos = 0;
    char key[kMaxKeySize + 1] = {};
  };
  // The tag being formed and the one before it (their parts, and their text or compressed
  // record as written), for the duplicate check; they swap places.
  Parts parts_[2];
  char tags_[2][kTagMax];
  int lens_[2] = {0, -1};
  int cur_ = 0;
  // Tags are gathered here and handed over in big pieces: one library call per tag would cost
  // more than forming it.
  char out_[1 << 16];
  std::size_t outlen_ = 0;
  bool failed_ = false;
};

}  // namespace dbc::ixmark
