#include "pageconv/plain.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "pageconv/scan.hpp"

namespace dbc::pageconv::plain {

Measured measure(std::string_view print) {
  std::int64_t linsiz = 0, linmax = 0, pagsiz = 0, pagmax = 0;
  bool text = false;  // the line holds text that no line feed has ended
  for (char ch : print) {
    if (!isLineEnd(static_cast<unsigned char>(ch))) {
      ++linsiz;
      text = true;
      continue;
    }
    linmax = std::max(linmax, linsiz);
    linsiz = 0;
    if (ch == '\r') continue;
    if (ch == '\n' || text) ++pagsiz;
    text = false;
    if (ch == '\f') {
      pagmax = std::max(pagmax, pagsiz);
      pagsiz = 0;
    }
  }
  return {std::max(linmax, linsiz), pagmax};
}

namespace {

struct Column {
  char c;
  bool underlined;
};

// A line as printed: the byte shown in each column, and whether an underscore struck it.
struct Line {
  std::vector<Column> columns;
  std::size_t k = 0;
  bool overprinting = false;

  void put(char c) {
    if (!overprinting || k >= columns.size()) {
      columns.push_back({c, false});
    } else if (c == '_' && columns[k].c != ' ') {
      columns[k].underlined = true;
    } else if (c != ' ') {
      columns[k].c = c;
    }
    k = overprinting ? k + 1 : columns.size();
  }

  void write(std::string& out) {
    bool in = false;
    for (const Column& col : columns) {
      if (col.underlined != in) out += in ? "}" : "{\\ul ";
      in = col.underlined;
      unsigned char c = static_cast<unsigned char>(col.c);
      if (isRtfSpecial(c)) {
        out += '\\';
        out += col.c;
      } else if (isEscaped(c)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\'%02x", c);
        out += hex;
      } else {
        out += col.c;
      }
    }
    if (in) out += '}';
    out += '\n';
    *this = Line();
  }
};

}  // namespace

std::string convert(std::string_view print) {
  std::string out;
  Line line;
  bool open = false;  // the line's paragraph mark, or the page break before it, is out
  for (char c : print) {
    if (!open) out += "\\par ";
    open = true;
    if (c == '\n') {
      line.write(out);
      open = false;
    } else if (c == '\r') {
      line.k = 0;
      line.overprinting = true;
    } else if (c == '\f') {
      if (!line.columns.empty()) {
        line.write(out);
        out += "\\par ";
      }
      out += "\\page\n";
      line = Line();
    } else {
      line.put(c);
    }
  }
  if (!line.columns.empty()) line.write(out);
  return out + "}\n";
}

}  // namespace dbc::pageconv::plain
