#include "testkit/datafile.hpp"

#include <random>

#include "common/codec.hpp"

namespace testkit {

DataFile& DataFile::record(std::string_view bytes) {
  bytes_.append(bytes);
  bytes_.push_back(static_cast<char>(dbc::kRecordMark));
  return *this;
}

DataFile& DataFile::compressed(std::string_view text, bool ichrs) {
  dbc::appendEncoded(text, ichrs, bytes_);
  bytes_.push_back(static_cast<char>(dbc::kRecordMark));
  return *this;
}

DataFile& DataFile::deleted(std::size_t size) {
  bytes_.append(size, static_cast<char>(dbc::kDeleted));
  bytes_.push_back(static_cast<char>(dbc::kRecordMark));
  return *this;
}

DataFile& DataFile::raw(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}

DataFile& DataFile::byte(unsigned char b) {
  bytes_.push_back(static_cast<char>(b));
  return *this;
}

DataFile& DataFile::eof() { return byte(dbc::kEofMark); }

std::string textFile(const std::vector<std::string>& lines, bool crlf) {
  std::string out;
  for (const std::string& l : lines) {
    out += l;
    out += crlf ? "\r\n" : "\n";
  }
  return out;
}

std::string fixedRecords(std::size_t n, std::size_t len, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> printable(0x20, 0x7E);
  std::string out;
  out.reserve(n * (len + 1) + 1);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < len; ++j) out.push_back(static_cast<char>(printable(rng)));
    out.push_back(static_cast<char>(dbc::kRecordMark));
  }
  out.push_back(static_cast<char>(dbc::kEofMark));
  return out;
}

}  // namespace testkit
