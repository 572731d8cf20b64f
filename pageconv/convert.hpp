// The conversion pass: print file bytes in, RTF text out, one output line per print line.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pageconv/events.hpp"
#include "pageconv/textbuffer.hpp"

namespace dbc::pageconv {

// Keeps the current line as the printer would show it, column by column, and escapes it only
// when it is written, so an overprinted brace or backslash can never reach the document bare
// and overprinting lands in the column the printer would use. Lines of any length are kept whole.
// Most lines are never overprinted: those go from the print to the document in one move.
class Converter {
 public:
  // The RTF text is appended to `out`; the caller drains it as it sees fit.
  explicit Converter(TextBuffer& out, const Finders& finders = bestFinders())
      : out_(out), finders_(finders) {}

  void feed(const char* p, std::size_t n);
  // Closes the document. Text after the last line feed was printed, so it is a line of its own.
  void finish();

  // The longest line and the fullest page of what was fed, as the layout pass counts them.
  std::int64_t linmax() const { return std::max(tally_.linsiz, tally_.linmax); }
  std::int64_t pagmax() const { return tally_.pagmax; }

 private:
  std::size_t plainLines(const char* p, std::size_t n, std::size_t i);
  std::size_t runLines(const char* p, std::size_t n, std::size_t i, std::size_t& at);
  std::size_t lineStep(const char* p, std::size_t n, std::size_t i);
  void overprint(const char* p, std::size_t n);
  void count(const char* p, std::size_t n, std::size_t i, std::size_t j);
  void endLine();
  void writeLine();
  void writeText(const char* p, std::size_t n);
  void writeUnderlined();
  void writeMarked();
  std::size_t underlinedLine(const char* p, std::size_t n, std::size_t i, std::size_t at,
                             std::size_t over);

  TextBuffer& out_;
  Finders finders_;
  std::string line_;      // the current line's bytes, unescaped
  std::vector<char> ul_;  // per column of line_, underlined; no longer than the marks made
  std::vector<std::uint64_t> masks_;   // the bytes of an underlined line to escape
  std::vector<std::uint64_t> ulBits_;  // and its columns underlined
  std::size_t k_ = 0;                  // the column the next overprinted byte goes to
  bool ovrflg_ = false;
  bool open_ = false;  // the line's paragraph mark, or the page break, is out
  Tally tally_;
};

}  // namespace dbc::pageconv
