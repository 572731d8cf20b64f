// pageconv's layout pass and conversion on any print file, fed in pieces as the program reads it.
// Invariants: no crash; with every instruction set the passes agree byte for byte with the rules
// applied one byte at a time; the document starts with the RTF header and ends with its closing
// brace (and a line end); every brace and backslash of the text is escaped, so the braces of the
// document balance.
#include <string>

#include "fuzz/input.hpp"
#include "pageconv/convert.hpp"
#include "pageconv/layout.hpp"
#include "pageconv/plain.hpp"

namespace {

std::string document(std::string_view body, std::size_t piece, const dbc::pageconv::Finders& f) {
  dbc::pageconv::Measure measure(f);
  for (std::size_t at = 0; at < body.size(); at += piece) {
    std::string part(body.substr(at, piece));  // nothing past the piece may be read
    measure.feed(part.data(), part.size());
  }
  dbc::pageconv::plain::Measured want = dbc::pageconv::plain::measure(body);
  if (measure.linmax() != want.linmax || measure.pagmax() != want.pagmax) __builtin_trap();
  dbc::pageconv::TextBuffer text;
  text.append(
      dbc::pageconv::header(dbc::pageconv::chooseLayout(measure.linmax(), measure.pagmax())));
  dbc::pageconv::Converter converter(text, f);
  for (std::size_t at = 0; at < body.size(); at += piece) {
    std::string part(body.substr(at, piece));
    converter.feed(part.data(), part.size());
  }
  converter.finish();
  if (converter.linmax() != want.linmax || converter.pagmax() != want.pagmax) __builtin_trap();
  return std::string(text.text());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // Pieces of 1 to 97 bytes, or for the paths that look far ahead in a block, of some kB or the
  // whole print.
  const std::size_t piece = data[0] < 194   ? 1 + data[0] % 97
                            : data[0] < 250 ? 256 * std::size_t{data[0] - 193u}
                                            : size;
  std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t offset = dbc::pageconv::setupOffset(in.substr(0, dbc::pageconv::kFirstBlock));
  if (offset > in.size()) __builtin_trap();
  std::string_view body = in.substr(offset);
  std::string text;
  for (const dbc::pageconv::Finders& f : dbc::pageconv::availableFinders()) {
    std::string doc = document(body, piece, f);
    if (!text.empty() && doc != text) __builtin_trap();
    text = doc;
  }
  dbc::pageconv::plain::Measured m = dbc::pageconv::plain::measure(body);
  std::string head = dbc::pageconv::header(dbc::pageconv::chooseLayout(m.linmax, m.pagmax));
  if (text != head + dbc::pageconv::plain::convert(body)) __builtin_trap();
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
