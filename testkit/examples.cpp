#include "testkit/examples.hpp"

#include <algorithm>
#include <cstddef>

namespace testkit {

namespace {

constexpr std::size_t npos = std::string_view::npos;

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    lines.push_back(text.substr(0, nl));
    if (nl == npos) break;
    text.remove_prefix(nl + 1);
  }
  return lines;
}

std::string_view rstrip(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Collects the examples of one block, line by line.
class BlockReader {
 public:
  BlockReader(ExampleGroup& group, std::vector<std::string>& problems)
      : group_(group), problems_(problems) {}

  void start() { current_ = nullptr; }

  void line(std::string_view text, const std::string& where) {
    if (text.starts_with("$ ")) {
      group_.examples.push_back({where, std::string(text.substr(2)), {}});
      current_ = &group_.examples.back();
    } else if (current_ == nullptr) {
      problems_.push_back(where + ": not after a \"$ \" command: " + std::string(text));
    } else if (text.starts_with("> ") && current_->output.empty()) {
      current_->command.append("\n").append(text.substr(2));
    } else {
      current_->output.emplace_back(text);
    }
  }

 private:
  ExampleGroup& group_;
  std::vector<std::string>& problems_;
  Example* current_ = nullptr;
};

// A blank line between two commands belongs to neither's output.
void dropTrailingBlanks(ExampleGroup& g) {
  for (Example& e : g.examples) {
    while (!e.output.empty() && rstrip(e.output.back()).empty()) e.output.pop_back();
  }
}

bool isRequest(std::string_view line, std::string_view name) {
  if (!line.starts_with('.')) return false;
  line.remove_prefix(1);
  while (line.starts_with(' ')) line.remove_prefix(1);
  return line == name || (line.starts_with(name) && line.size() > name.size() &&
                          (line[name.size()] == ' ' || line[name.size()] == '\t'));
}

}  // namespace

std::string roffText(std::string_view line, std::string* problem) {
  static const struct {
    const char* name;
    const char* text;
  } kSpecial[] = {{"aq", "'"}, {"dq", "\""}, {"ga", "`"}, {"ti", "~"}, {"ha", "^"}, {"rs", "\\"}};
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      out += line[i];
      continue;
    }
    char c = i + 1 < line.size() ? line[i + 1] : '\0';
    ++i;
    switch (c) {
      case '-':
        out += '-';
        continue;
      case 'e':
      case '\\':
        out += '\\';
        continue;
      case '&':
        continue;
      case ' ':
      case '~':
        out += ' ';
        continue;
      case 'f':
        if (i + 1 < line.size() && std::string_view("BIRP").find(line[i + 1]) != npos) {
          ++i;
          continue;
        }
        break;
      case '(':
        if (i + 2 < line.size()) {
          std::string_view name = line.substr(i + 1, 2);
          bool known = false;
          for (const auto& s : kSpecial) {
            if (name == s.name) out += s.text, known = true;
          }
          if (known) {
            i += 2;
            continue;
          }
        }
        break;
      default:
        break;
    }
    if (problem) *problem = "escape \\" + std::string(1, c) + " in: " + std::string(line);
    return out;
  }
  return out;
}

ExampleGroup manExamples(std::string_view roff, const std::string& file,
                         std::vector<std::string>& problems) {
  ExampleGroup group{file, {}};
  BlockReader reader(group, problems);
  bool inSection = false, inBlock = false;
  std::size_t n = 0;
  for (std::string_view line : splitLines(roff)) {
    ++n;
    std::string where = file + ":" + std::to_string(n);
    if (isRequest(line, "SH")) {
      inSection = rstrip(line.substr(line.find("SH") + 2)).ends_with("EXAMPLES");
      inBlock = false;
      continue;
    }
    if (!inSection) continue;
    if (isRequest(line, "EX") || isRequest(line, "nf")) {
      inBlock = true;
      reader.start();
    } else if (isRequest(line, "EE") || isRequest(line, "fi")) {
      inBlock = false;
    } else if (inBlock && !line.starts_with('.') && !line.starts_with('\'')) {
      std::string problem;
      std::string text = roffText(line, &problem);
      if (!problem.empty()) problems.push_back(where + ": " + problem);
      reader.line(text, where);
    }
  }
  dropTrailingBlanks(group);
  return group;
}

std::vector<ExampleGroup> markdownExamples(std::string_view markdown, const std::string& file,
                                           std::vector<std::string>& problems) {
  std::vector<ExampleGroup> groups;
  std::vector<std::string_view> lines = splitLines(markdown);
  std::size_t i = 0;
  auto block = [&](std::size_t first, std::size_t end, std::size_t indent) {
    ExampleGroup g{file + ":" + std::to_string(first + 1), {}};
    auto text = [&](std::size_t k) { return lines[k].substr(std::min(indent, lines[k].size())); };
    bool shows = false;
    for (std::size_t k = first; k < end; ++k) shows |= text(k).starts_with("$ ");
    if (!shows) return;
    BlockReader reader(g, problems);
    std::size_t last = end;
    while (last > first && rstrip(lines[last - 1]).empty()) --last;  // blank lines after the block
    for (std::size_t k = first; k < last; ++k)
      reader.line(text(k), file + ":" + std::to_string(k + 1));
    dropTrailingBlanks(g);
    groups.push_back(std::move(g));
  };
  bool afterBlank = true;
  while (i < lines.size()) {
    std::string_view l = lines[i];
    if (l.starts_with("```")) {
      std::size_t first = ++i;
      while (i < lines.size() && !lines[i].starts_with("```")) ++i;
      block(first, i, 0);
      ++i;
      afterBlank = false;
    } else if (afterBlank && l.starts_with("    ")) {
      // A block inside a list item is indented further: its first line gives the indentation.
      std::size_t indent = l.find_first_not_of(' ');
      std::size_t first = i;
      while (i < lines.size() && (lines[i].starts_with("    ") || rstrip(lines[i]).empty())) ++i;
      block(first, i, indent);
      afterBlank = i > 0 && rstrip(lines[i - 1]).empty();
    } else {
      afterBlank = rstrip(l).empty();
      ++i;
    }
  }
  return groups;
}

bool outputMatches(const std::vector<std::string>& shown, std::string_view actual) {
  std::vector<std::string_view> got;
  for (std::string_view l : splitLines(actual)) {
    if (std::size_t cr = l.rfind('\r'); cr != npos) l.remove_prefix(cr + 1);
    got.push_back(rstrip(l));
  }
  // match[i][j]: shown[i..] matches got[j..]
  std::vector<std::vector<char>> match(shown.size() + 1, std::vector<char>(got.size() + 1, 0));
  match[shown.size()][got.size()] = 1;
  for (std::size_t i = shown.size(); i-- > 0;) {
    bool any = rstrip(shown[i]) == "...";
    for (std::size_t j = got.size() + 1; j-- > 0;) {
      if (any) {
        match[i][j] = match[i + 1][j] || (j < got.size() && match[i][j + 1]);
      } else {
        match[i][j] = j < got.size() && rstrip(shown[i]) == got[j] && match[i + 1][j + 1];
      }
    }
  }
  return match[0][0] != 0;
}

}  // namespace testkit
