// Where the sorted file goes. A new name, or one that holds a regular file, gets the output
// atomically: it is written under a temporary name in the same folder, synced to disk and renamed
// over the name only once complete, so the name never holds a partial output. A name that holds
// anything else (a FIFO, a device such as /dev/null, a symbolic link such as /dev/stdout) is
// opened and written directly: a rename would replace the special file itself, and a FIFO's
// reader would get nothing.
#pragma once

#include <string>

#include "common/io.hpp"
#include "common/signals.hpp"

namespace dbc::dbcsort {

class SortedOutput {
 public:
  // Opens the output, or creates its temporary file; prints a message naming `path` and stops
  // with status 1 when that is not possible.
  explicit SortedOutput(std::string path);
  // Removes the temporary file unless commit() has succeeded.
  ~SortedOutput();
  SortedOutput(const SortedOutput&) = delete;
  SortedOutput& operator=(const SortedOutput&) = delete;

  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }
  // The temporary file's name; empty when the output is written directly.
  const std::string& tempPath() const { return temp_; }
  // Ends the output: a regular file written directly is cut where the output ends; a temporary
  // file is synced, closed and renamed to the final name. Stops with status 1 on failure.
  void commit();

 private:
  std::string path_;
  std::string temp_;
  dbc::Fd fd_;
  dbc::RemoveOnSignal onSignal_;
  bool committed_ = false;
};

// The folder part of `path` ("." when it has none).
std::string folderOf(const std::string& path);

}  // namespace dbc::dbcsort
