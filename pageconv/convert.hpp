// The conversion pass: print file bytes in, RTF text out, one output line per print line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dbc::pageconv {

// Keeps the current line as the printer would show it, column by column, and escapes it only
// when it is written, so an overprinted brace or backslash can never reach the document bare
// and overprinting lands in the column the printer would use. Lines of any length are kept whole.
class Converter {
 public:
  // The RTF text is appended to `out`; the caller drains it as it sees fit.
  explicit Converter(std::string& out) : out_(out) {}

  void feed(const char* p, std::size_t n);
  // Closes the document. Text after the last line feed was printed, so it is a line of its own.
  void finish();

 private:
  void overprint(const char* p, std::size_t n);
  void endLine();
  void writeLine();
  void writeText(const char* p, std::size_t n);
  void writeUnderlined();

  std::string& out_;
  std::string line_;      // the current line's bytes, unescaped
  std::vector<char> ul_;  // per column of line_, underlined; no longer than the marks made
  std::size_t k_ = 0;     // the column the next overprinted byte goes to
  bool ovrflg_ = false;
  bool open_ = false;  // the line's paragraph mark, or the page break, is out
};

}  // namespace dbc::pageconv
