// The extraction of changed records: one output record per change line, the stream ended by the
// end-of-file mark so that it is a data file itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "audit/output.hpp"
#include "audit/reader.hpp"

namespace dbc::audit {

class Picker {
 public:
  // `recsiz` is the record length plus one, 0 when no data is to be copied.
  Picker(LineReader& mrgfile, BlockReader& txtfile, std::int64_t recsiz, Output& out);

  // Every line of the change list, then the end-of-file mark.
  void run();
  // The output record of one change line.
  void pickLine(std::string_view line);
  // The record's bytes from `recpos` on, without deleted space, up to and including the first
  // record or end-of-file mark, looking at no more than `recsiz` bytes of the file. Only bytes
  // actually read are copied: near the end of the file that is fewer, past it nothing.
  void copyRecord(std::int64_t recpos);

  std::int64_t recsiz;
  std::int64_t recpos = 0;

 private:
  LineReader& mrgfile_;
  BlockReader& txtfile_;
  Output& out_;
  std::unique_ptr<unsigned char[]> buffer_;
};

}  // namespace dbc::audit
