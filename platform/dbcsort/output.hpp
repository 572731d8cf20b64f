// The sorted file appears under its name only once it is complete: it is written under a
// temporary name in the same folder and renamed over any old file at the end.
#pragma once

#include <string>

#include "common/io.hpp"

namespace dbcsort {

class AtomicOutput {
 public:
  // Creates the temporary file beside `path`; prints a message naming `path` and stops with
  // status 1 when that is not possible.
  explicit AtomicOutput(std::string path);
  // Removes the temporary file unless commit() has succeeded.
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }
  const std::string& tempPath() const { return temp_; }
  // Closes the file and renames it to its final name; stops with status 1 on failure.
  void commit();

 private:
  std::string path_;
  std::string temp_;
  dbc::Fd fd_;
  bool committed_ = false;
};

// The folder part of `path` ("." when it has none).
std::string folderOf(const std::string& path);

}  // namespace dbcsort
