// pageconv's layout pass and conversion on any print file, fed in pieces as the program reads it.
// Invariants: no crash; the document starts with the RTF header and ends with its closing brace
// (and a line end); every brace and backslash of the text is escaped, so the braces of the document
// balance.
#include <string>

#include "fuzz/input.hpp"
#include "pageconv/convert.hpp"
#include "pageconv/layout.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t piece = 1 + data[0] % 97;
  std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t offset = dbc::pageconv::setupOffset(in.substr(0, dbc::pageconv::kFirstBlock));
  if (offset > in.size()) __builtin_trap();
  std::string_view body = in.substr(offset);
  dbc::pageconv::Measure measure;
  for (std::size_t at = 0; at < body.size(); at += piece)
    measure.feed(body.data() + at, std::min(piece, body.size() - at));
  std::string text =
      dbc::pageconv::header(dbc::pageconv::chooseLayout(measure.linmax(), measure.pagmax()));
  dbc::pageconv::Converter converter(text);
  for (std::size_t at = 0; at < body.size(); at += piece)
    converter.feed(body.data() + at, std::min(piece, body.size() - at));
  converter.finish();
  std::string_view doc(text);
  if (!doc.empty() && doc.back() == '\n') doc.remove_suffix(1);
  if (doc.rfind("{\\rtf1", 0) != 0 || doc.empty() || doc.back() != '}') __builtin_trap();
  long depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;  // an escaped character or the first letter of a control word
    } else if (text[i] == '{') {
      ++depth;
    } else if (text[i] == '}') {
      if (--depth < 0) __builtin_trap();
    }
  }
  if (depth != 0) __builtin_trap();
  return 0;
}
