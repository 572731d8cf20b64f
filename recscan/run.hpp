// One run of recscan: switches and configuration, opening the file, its type, the mirroring
// definition, the block loop with its progress display and write-back, and the report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/context.hpp"
#include "recscan/options.hpp"
#include "recscan/scan.hpp"

namespace dbc::recscan {

inline constexpr std::size_t kBlockSize = 65536;

// A read of the data file that failed: counts taken up to there describe part of a file only,
// and a file that cannot be read at all is no empty file.
struct ReadFailure {
  std::int64_t offset = -1;  // -1: no read failed
  int error = 0;             // errno
  bool failed() const { return offset >= 0; }
};

// "Error reading <fulnam> at offset <offset>: <reason>".
void printReadFailure(std::FILE* out, const std::string& fulnam, const ReadFailure& failure);

// The opened data file as the type test and the block loop see it.
struct DataFile {
  int inf = -1;
  std::string fulnam;       // the path opened, for messages
  std::int64_t eofpos = 0;  // its size when the run began
  FileType filtyp = FileType::kText;
};

// Whether the file's last byte is the end-of-file mark 0xFB (no for an empty file). Nothing
// when the read failed, which `failure` then describes.
std::optional<bool> endsWithEofMark(const DataFile& file, ReadFailure& failure);

// DBC type when the last byte is 0xFB, CRLF type when a CR LF pair lies inside one block, else
// text type. Nothing when a read failed, which `failure` then describes.
std::optional<FileType> fileType(const DataFile& file, ReadFailure& failure);

// Reads the file from its start in blocks, scans each and writes back those the scan asks for,
// each whole at the offset it was read from. A failed or short write-back is reported on `out`
// with the file's name and the block's offset, and the loop goes on; the result is then false.
// A failed read ends the loop and is left in `failure` for the caller to report. With `progress`
// the percentage read is shown on `out`, rewritten in place.
bool scanBlocks(const DataFile& file, Scanner& scan, bool progress, std::FILE* out,
                ReadFailure& failure);

// The whole run over the command line's arguments; the result is the exit status. The context's
// shell runs the definition look-up and the removal of its scratch file /tmp/<pid>.pid.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::recscan
