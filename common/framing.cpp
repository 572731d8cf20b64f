#include "common/framing.hpp"

#include "common/format.hpp"

namespace dbc {

RecordEnd findRecordEnd(const unsigned char* b, std::size_t from, std::size_t len) {
  for (std::size_t i = from; i < len; ++i) {
    unsigned char c = b[i];
    if (c == kSpaceRun) {
      if (i + 1 == len) return {false, i};
      ++i;
    } else if (c == kRecordMark || c == kEofMark || c == '\n') {
      return {true, i};
    }
  }
  return {false, len};
}

}  // namespace dbc
