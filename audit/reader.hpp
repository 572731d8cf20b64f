// Reading the inputs of the audit tools: data files in blocks, lists in lines. A read error
// stops the run with a message; taking it for the end of the input would make a short list or a
// short extract look like a complete one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "audit/failure.hpp"
#include "common/refill.hpp"

namespace dbc::audit {

// The block size the tools read data files in.
inline constexpr std::size_t kBlockSize = 16384;

class BlockReader {
 public:
  // `fd` stays owned by the caller; a failed read of `name` stops the run through `failure`.
  BlockReader(int fd, std::string name, Failure failure);

  // The next block from the current position into `buf`: `n` bytes, fewer only at the end of
  // the file (0 there).
  std::size_t next(unsigned char* buf, std::size_t n);
  // A block from `offset` on; an offset before the start of the file has nothing to read.
  std::size_t at(std::int64_t offset, unsigned char* buf, std::size_t n);

 private:
  int fd_;
  std::string name_;
  Failure failure_;
};

// Lines of a list as the tools have always read them: at most 79 characters at a time, so that
// a longer line comes back in pieces, each taken as a line of its own.
class LineReader {
 public:
  static constexpr std::size_t kLineMax = 79;

  LineReader(int fd, std::string name, Failure failure);

  // The next line, its line feed included when it had one within the limit; false at the end.
  bool next(std::string_view& line);

  // The bytes not yet taken, more than kLineMax of them unless the list ends sooner, for a reader
  // that finds the line's end itself; false at the end. skip() takes `n` of them (a line).
  bool peek(const char*& p, std::size_t& available) {
    if (in_.len() - in_.pos() <= kLineMax && !in_.eof()) refill();
    available = in_.len() - in_.pos();
    p = reinterpret_cast<const char*>(in_.data()) + in_.pos();
    return available > 0;
  }
  void skip(std::size_t n) { in_.take(n); }

 private:
  void refill();

  dbc::RefillReader in_;
  std::string name_;
  Failure failure_;
};

}  // namespace dbc::audit
