// ixmark3's sorted-file reader on any bytes, with any read buffer size and either ichrs setting.
// Invariants: no crash, and the tags it hands back are the ones the rules give when the file is
// read one byte at a time.
#include <string>
#include <vector>

#include "common/format.hpp"
#include "fuzz/input.hpp"
#include "ixmark/compare.hpp"

namespace {

// The rules byte by byte: 0xFA, a newline or 0xFB ends a tag (0xFB the file too), the byte after
// 0xF9 is a space count, control characters are spaces, 0xFF and the bytes that are no
// character give nothing, empty tags are passed over.
std::vector<std::string> byteByByte(const std::string& bytes, bool ichflg) {
  std::vector<std::string> tags;
  std::string t;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == dbc::kEofMark) break;
    if (c == '\n' || c == dbc::kRecordMark) {
      if (!t.empty()) tags.push_back(t);
      t.clear();
    } else if (c < 0x20) {
      t += ' ';
    } else if (c <= 0x7F) {
      t += static_cast<char>(c);
    } else if (c == dbc::kSpaceRun) {
      if (++i < bytes.size()) t.append(static_cast<unsigned char>(bytes[i]), ' ');
    } else if (dbc::isPairByte(c)) {
      if (ichflg) {
        t += static_cast<char>(c);
      } else {
        dbc::PairChars pc = dbc::pairChars(c);
        t += pc.first;
        t += pc.second;
      }
    }
  }
  if (!t.empty()) tags.push_back(t);
  return tags;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool ichflg = (data[0] & 0x80) != 0;
  const std::size_t bufferSize = 1 + (data[0] & 0x3F);
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  dbc::ixmark::CompressedSorted sorted(fuzz::memoryFile(bytes), ichflg, stdout, bufferSize);
  std::vector<std::string> got;
  std::string b;
  while (sorted.getsrt(b) >= 0) got.push_back(b);
  if (got != byteByByte(bytes, ichflg)) __builtin_trap();
  return 0;
}
