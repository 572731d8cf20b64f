// Starting commands through the POSIX shell without letting a name become part of the command.
#pragma once

#include <string>
#include <string_view>

namespace dbc {

// `s` as one word of a POSIX shell command line: in single quotes, each quote written as '\''.
std::string shellQuote(std::string_view s);

// True when `s` is made only of letters, digits and the characters of `extra`, so it can stand
// in a command line as it is.
bool isPlainWord(std::string_view s, std::string_view extra = "._-/");

// `s` unchanged when it is a plain word (see isPlainWord), quoted otherwise: the command line
// for ordinary names is then exactly what it would be without quoting.
std::string shellWord(std::string_view s, std::string_view extra = "._-/");

// Flushes standard output, so that the child's output follows ours in a pipe or a file, then
// runs `command` through /bin/sh and waits for it. Returns what system(3) returns.
int runShell(const std::string& command);

// The exit status of a child as a shell reports it: its status, 128 + signal, or -1 when the
// shell could not be started.
int exitStatus(int systemResult);

}  // namespace dbc
