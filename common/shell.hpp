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

// runShell for a command that writes a file this process must clean up: SIGHUP, SIGINT and SIGTERM
// sent to this process are held off until the command has ended, and take effect then. Cut off
// halfway, the command would go on without us and could create the file again after our removal.
// The command itself gets the signals as this process had them, so a ^C still ends it at once.
int runShellHeld(const std::string& command);

// runShell or runShellHeld, as a program's context takes it.
using ShellRunner = int (*)(const std::string& command);

// The exit status of a child as a shell reports it: its status, 128 + signal, or -1 when the
// shell could not be started.
int exitStatus(int systemResult);

}  // namespace dbc
