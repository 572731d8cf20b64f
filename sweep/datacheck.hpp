// The check of one data file, as `recscan FILE -s` checks it, but read-only: the same type test,
// mirroring definition and scan, so the records, damaged bytes and deleted space agree with what
// recscan's summary line says; the file is opened for reading only and never written.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "common/context.hpp"
#include "sweep/result.hpp"

namespace dbc::sweep {

struct DataCheck {
  bool ichflg = false;  // the invalid-character switch, as recscan reads it
  std::string dmfdir;   // the mirroring definitions' folder
  std::string scratch;  // the definition look-up's scratch file (recscan's /tmp/<pid>.pid)
};

// `done` grows by the bytes read; the check gives up (an ERROR) once `stop` is set. The context's
// shell runs the definition look-up; its output stream takes the look-up's messages.
Result checkData(const std::string& path, const DataCheck& check, Context& context,
                 std::atomic<std::int64_t>& done, const std::atomic<bool>& stop);

}  // namespace dbc::sweep
