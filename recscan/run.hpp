// One run of recscan: switches and configuration, opening the file, its type, the mirroring
// definition, the block loop with its progress display and write-back, and the report.
#pragma once

#include <cstdint>
#include <string>

#include "common/config.hpp"
#include "recscan/options.hpp"
#include "recscan/scan.hpp"

namespace recscan {

inline constexpr std::size_t kBlockSize = 65536;

// A read of the data file that failed: counts taken up to there describe part of a file only,
// and a file that cannot be read at all is no empty file.
struct ReadFailure {
  std::int64_t offset = -1;  // -1: no read failed
  int error = 0;             // errno
  bool failed() const { return offset >= 0; }
};

// "Error reading <fulnam> at offset <offset>: <reason>".
void printReadFailure(const std::string& fulnam, const ReadFailure& failure);

// 1 DBC type (last byte 0xFB), 3 CRLF type (a CR LF pair inside one block), else 2 text type;
// 0 when a read failed, which `failure` then describes.
int fileType(int fd, std::int64_t eofpos, ReadFailure& failure);

// Reads the file from its start in blocks, scans each and writes back those the scan asks for,
// each whole at the offset it was read from. A failed or short write-back is reported with the
// file's name and the block's offset, and the loop goes on; the result is then false. A failed
// read ends the loop and is left in `failure` for the caller to report.
bool scanBlocks(int fd, Scanner& scan, int filtyp, std::int64_t eofpos, bool progress,
                const std::string& fulnam, ReadFailure& failure);

// The whole run; the result is the exit status.
int run(const Settings& settings, const dbc::Config& config, const dbc::EnvLookup& env, int pid);

}  // namespace recscan
