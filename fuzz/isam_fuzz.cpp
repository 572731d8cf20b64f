// The ISAM index walk and the tag writer of both programs on an index made of the fuzzer's bytes:
// the header, then blocks. Invariants: no crash; every damaged index ends with a message and
// Stop (never a hang: libFuzzer's -timeout enforces the bound); each tag written is one record.
#include <cstring>
#include <string>

#include "common/stop.hpp"
#include "fuzz/input.hpp"
#include "ixmark/collate.hpp"
#include "ixmark/isam.hpp"
#include "ixmark/tag.hpp"
#include "ixmark/variant.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool ichflg = (data[0] & 1) != 0;
  const bool collate = (data[0] & 2) != 0;
  const dbc::ixmark::Variant& v = (data[0] & 4) != 0 ? dbc::ixmark::kIxmark3 : dbc::ixmark::kIxmark;
  std::string index(reinterpret_cast<const char*>(data + 1), size - 1);
  unsigned char hdr[dbc::ixmark::kHeaderSize] = {};
  std::memcpy(hdr, index.data(), std::min(index.size(), sizeof hdr));
  dbc::Fd isi = fuzz::memoryFile(index);
  dbc::ixmark::Collate table =
      collate ? dbc::ixmark::Collate("65:97;97:65;48:57") : dbc::ixmark::Collate();
  char* tags = nullptr;
  std::size_t tagsLen = 0;
  std::FILE* tagfile = open_memstream(&tags, &tagsLen);
  try {
    dbc::ixmark::IndexHeader h = dbc::ixmark::readHeader(hdr, "FUZZ", false, stdout);
    dbc::ixmark::TagWriter writer(v, ichflg, table, h.keysiz, false, tagfile, stdout);
    dbc::ixmark::IsamWalk walk(isi.get(), h, "FUZZ", stdout);
    walk.walk([&](const dbc::ixmark::IndexEntry& e) { writer.wrttag1(e); }, ichflg);
    writer.finish();
  } catch (const dbc::Stop&) {
  }
  std::fclose(tagfile);
  // A compressed tag never holds the end-of-file mark: it would cut the sorted file short.
  if (v.compressedTags && tags && std::memchr(tags, 0xFB, tagsLen)) __builtin_trap();
  std::free(tags);
  return 0;
}
