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

// "%12lld%12i%12lld%s": block position, offset in the block, record position, key (up to its
// first zero byte).
// `v` right-aligned in `width` columns, space-filled, as "%12lld" writes a number that fits;
// returns the end. Room for max(width, 20) characters is needed at `at`.
char* putRight(char* at, std::uint64_t v, int width);

std::string tagText(std::uint64_t filpos1, int bufpos, std::uint64_t txtpos, const char* key);
// The same into `out`, reusing its storage.
void tagText(std::uint64_t filpos1, int bufpos, std::uint64_t txtpos, const char* key,
             std::string& out);

// The compressed record of one tag, 0xFA included: space runs, and digit pairs unless `ichflg`.
void encodeTag(const std::string& text, bool ichflg, std::string& out);

class TagWriter {
 public:
  TagWriter(const Variant& variant, bool ichflg, const Collate& collate, int keysiz, bool verbose,
            std::FILE* tagfile);
  void wrttag1(const IndexEntry& e);

  long reccnt1 = 0;
  long tagerr1 = 0;
  long tagerr2 = 0;

 private:
  const Variant& variant_;
  bool ichflg_;
  const Collate& collate_;
  int keysiz_;
  bool verbose_;
  std::FILE* tagfile_;
  std::string tagval_;  // the tag being formed; swapped with tagsav_ so neither reallocates
  std::string tagsav_;
  std::string tagout_;
};

}  // namespace dbc::ixmark
