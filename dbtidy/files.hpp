// The input, the output or work file, and the copy back that rewrites the input in place. Every
// failure prints its message and throws dbc::Stop{1}; the input is never truncated before the
// formatted source is complete and synced in the work file.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "common/context.hpp"
#include "common/io.hpp"
#include "common/signals.hpp"
#include "dbtidy/lineio.hpp"
#include "dbtidy/settings.hpp"

namespace dbc::dbtidy {

// How long a run waits for another run on the same source to finish before it gives up.
constexpr double kLockWaitSeconds = 60;

class Files {
 public:
  // The messages go to the context's output; the work file is made in its TMPDIR.
  Files(const Settings& s, Counters& counters, const dbc::Context& context)
      : s_(s), counters_(counters), context_(context), out_(context.out) {}
  // A work file still unfinished (the run ends before its copy back) is removed.
  ~Files();
  Files(const Files&) = delete;
  Files& operator=(const Files&) = delete;

  // `name` is the input as typed; `path` the source path to look it up along. The source is
  // locked against other runs from here to the end of the copy back (shared when it is only read).
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

  void setLockWait(double seconds) { lockWait_ = seconds; }

 private:
  [[noreturn]] void refuseInput(const std::string& name, const char* what);
  [[noreturn]] void refuseWork();
  [[noreturn]] void cannotOpenInput();
  void lockSource(const dbc::Fd& input);
  void getWorkFile();
  void getOutputFile(const char* name, const std::string& path);
  dbc::Fd createWorkFile();
  std::string tempDir() const;
  void copyHeld();
  void discardWork();

  const Settings& s_;
  Counters& counters_;
  const dbc::Context& context_;
  std::FILE* out_;
  double lockWait_ = kLockWaitSeconds;
  std::string typedName_;
  std::string infilename_;
  std::string outfilename_;
  std::string wkfname_;
  dbc::Fd lock_;
  // Set while the work file is unfinished: removed if the run ends, by a signal or a failure.
  dbc::RemoveOnSignal workOnSignal_;
  bool workUnfinished_ = false;
  std::unique_ptr<LineReader> inf_;
  std::unique_ptr<LineWriter> outf_;
};

}  // namespace dbc::dbtidy
