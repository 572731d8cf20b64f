// The input, the output or work file, and the copy back that rewrites the input in place. Every
// failure prints its message and throws dbc::Stop{1}; the input is never truncated before the
// formatted source is safe in the work file.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "dbtidy/lineio.hpp"
#include "dbtidy/settings.hpp"

namespace dbtidy {

class Files {
 public:
  Files(const Settings& s, Counters& counters, std::FILE* out)
      : s_(s), counters_(counters), out_(out) {}

  // `name` is the input as typed; `path` the source path to look it up along.
  void getinp(const std::string& name, const std::string& path);
  // `name` is argument position 2 (null when there is none).
  void getout(const char* name, const std::string& path);

  LineReader& in() { return *inf_; }
  LineWriter& out() { return *outf_; }

  // The output first, then the input; a failed write of the output ends the run here.
  void closeAll();
  void copy_temp_back();

  const std::string& infilename() const { return infilename_; }
  const std::string& outfilename() const { return outfilename_; }
  const std::string& wkfname() const { return wkfname_; }

  // Ends the run after a read error on the input; nothing is copied back.
  [[noreturn]] void readFailed();

 private:
  void refuseInput(const std::string& name, const char* what);

  const Settings& s_;
  Counters& counters_;
  std::FILE* out_;
  std::string typedName_;
  std::string infilename_;
  std::string outfilename_;
  std::string wkfname_;
  std::unique_ptr<LineReader> inf_;
  std::unique_ptr<LineWriter> outf_;
};

}  // namespace dbtidy
