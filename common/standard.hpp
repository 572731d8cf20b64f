// The three standard descriptors. A program started with one of them closed would hand that number
// to the first file it opens, and its report or error messages would then be written into a data
// file. And a report that could not be written (a full disk, /dev/full) must not pass for success:
// mirroring scripts read recscan's summary line and take status 0 to mean they have it.
#pragma once

namespace dbc {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Called first by every main,
// before anything else is opened. Returns false only when /dev/null itself cannot be opened, in
// which case the caller must not go on (status 1 without a word: there may be nowhere to say it).
bool openStandardDescriptors();

enum class OutputFailure {
  kStatus1,      // a lost report turns the exit status into 1
  kMessageOnly,  // the program's status is fixed whatever happens (recmend): only the message
};

// Flushes and closes standard output and says on standard error when anything written to it was
// lost: "PROGRAM: write error on standard output: REASON". Returns the status main should end with.
int finishStandardOutput(const char* program, int status,
                         OutputFailure failure = OutputFailure::kStatus1);

}  // namespace dbc
