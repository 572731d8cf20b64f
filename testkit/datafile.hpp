// Builds the bytes of DB/C data files and text files for tests: records plain or compressed,
// deleted records, damage, the end-of-file mark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testkit {

class DataFile {
 public:
  // A record of exactly these bytes, then the record mark.
  DataFile& record(std::string_view bytes);
  // A record of `text` compressed with space runs and digit pairs (no pairs when `ichrs`).
  DataFile& compressed(std::string_view text, bool ichrs = false);
  // A deleted record: `size` bytes of 0xFF, then the record mark.
  DataFile& deleted(std::size_t size);
  // Raw bytes with no mark after them (damage, deleted space inside a record, anything).
  DataFile& raw(std::string_view bytes);
  DataFile& byte(unsigned char b);
  // The end-of-file mark 0xFB.
  DataFile& eof();

  const std::string& bytes() const { return bytes_; }
  operator const std::string&() const { return bytes_; }

 private:
  std::string bytes_;
};

// Lines each ended by "\n", or by "\r\n" when `crlf`.
std::string textFile(const std::vector<std::string>& lines, bool crlf = false);

// `n` fixed-length records of `len` printable bytes from a seeded generator, each with its mark,
// the file ended by 0xFB.
std::string fixedRecords(std::size_t n, std::size_t len, unsigned seed);

}  // namespace testkit
