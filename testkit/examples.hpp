// The commands a reader is shown, taken from the documentation so that a test can run them: in a
// manual page, the lines of the EXAMPLES section's .EX/.nf blocks; in README.md, the lines of its
// code blocks. A command starts on a line beginning with "$ " and goes on over the lines that
// begin with "> " (the shell's two prompts); the other lines that follow, up to the next command
// or the end of the block, are the output the reader is told to expect.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testkit {

struct Example {
  std::string where;                // file:line of its "$ " line
  std::string command;              // shell text, continuation lines joined by line feeds
  std::vector<std::string> output;  // shown output; empty when none is shown
};

// The examples of one group run in order on one copy of the sample installation.
struct ExampleGroup {
  std::string where;
  std::vector<Example> examples;
};

// The text a roff line prints: the escapes a page may use in an example block are replaced by
// their characters (\- \e \\ \& \(aq \(dq \(ga \(ti \(ha \(rs \fB \fI \fR \fP and "\ "). Any
// other escape is reported in `problem` (the text is then undefined), so that no example is run
// in a form the reader does not see.
std::string roffText(std::string_view line, std::string* problem);

// The EXAMPLES section of a manual page, as one group. A block line before the block's first
// command is reported in `problems`: it would be a command the test never runs.
ExampleGroup manExamples(std::string_view roff, const std::string& file,
                         std::vector<std::string>& problems);

// Every code block of a Markdown file that shows a command, one group per block (indented by four
// spaces or more, as inside a list item, or fenced by ```). Blocks without a "$ " line (synopses,
// build commands) are left out.
std::vector<ExampleGroup> markdownExamples(std::string_view markdown, const std::string& file,
                                           std::vector<std::string>& problems);

// Whether `actual` (the command's standard output and error) is what `shown` shows. Each actual
// line counts as a terminal shows it: the text after its last carriage return. Trailing blanks are
// ignored on both sides; a shown line "..." stands for any number of lines.
bool outputMatches(const std::vector<std::string>& shown, std::string_view actual);

}  // namespace testkit
