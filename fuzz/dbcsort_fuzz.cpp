// DBCSORT's readers and sort on any input, in both forms, read or mapped, with any key columns and
// a budget small enough for run files and merges. Invariants: no crash; the output holds exactly
// the input's records, each ended once, in the order a stable sort of their keys gives.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/input.hpp"
#include "platform/dbcsort/failure.hpp"
#include "platform/dbcsort/key.hpp"
#include "platform/dbcsort/records.hpp"
#include "platform/dbcsort/sorter.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  dbc::dbcsort::SortJob job;
  job.form = (data[0] & 1) != 0 ? dbc::dbcsort::Form::kCompressed : dbc::dbcsort::Form::kText;
  job.ichrs = (data[0] & 2) != 0;
  job.key.first = 1 + data[1] % 40;
  job.key.last = job.key.first + data[2] % 40;
  job.budget = dbc::dbcsort::Budget::of(dbc::dbcsort::kMinBudget);
  // The input mapped and sorted where it lies, or read and copied.
  if ((data[0] & 4) != 0) job.mapAtMost = SIZE_MAX;
  job.tempDir = "/tmp";
  std::string in(reinterpret_cast<const char*>(data + 3), size - 3);
  dbc::Fd inFd = fuzz::memoryFile(in);
  dbc::Fd outFd = fuzz::memoryFile("");

  // What the sort must give: the records as the reader finds them, stably sorted by key.
  std::vector<std::string> records;
  {
    dbc::Fd again = fuzz::memoryFile(in);
    dbc::dbcsort::RecordReader reader(again.get(), job.form, 0, static_cast<off_t>(in.size()), 4096,
                                      "in");
    std::string_view r;
    while (reader.next(r)) records.emplace_back(r);
    // The reader of a mapped input finds the same records.
    dbc::dbcsort::SpanReader span(data + 3, size - 3, job.form);
    for (const std::string& want : records)
      if (!span.next(r) || r != want) __builtin_trap();
    if (span.next(r)) __builtin_trap();
  }
  auto key = [&](const std::string& r) {
    std::string k(dbc::dbcsort::keyBytes(job.key), '\0');
    dbc::dbcsort::recordKey(job.form, r, job.ichrs, job.key,
                            reinterpret_cast<unsigned char*>(k.data()));
    return k;
  };
  std::stable_sort(records.begin(), records.end(),
                   [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
  std::string want;
  for (const std::string& r : records) {
    want += r;
    want += job.form == dbc::dbcsort::Form::kText ? '\n' : '\xFA';
  }
  if (job.form == dbc::dbcsort::Form::kCompressed) want += '\xFB';

  try {
    dbc::dbcsort::Writer w(outFd.get(), job.budget.ioBuffer, "out");
    dbc::dbcsort::sortRecords(job, inFd.get(), "in", w);
    if (job.form == dbc::dbcsort::Form::kCompressed) w.put(static_cast<char>(0xFB));
    w.flush();
  } catch (const dbc::dbcsort::Failure&) {
    __builtin_trap();  // nothing in memory can fail
  }
  off_t len = ::lseek(outFd.get(), 0, SEEK_END);
  std::string got(static_cast<std::size_t>(len), '\0');
  if (dbc::preadFull(outFd.get(), got.data(), got.size(), 0) != len) __builtin_trap();
  if (got != want) __builtin_trap();
  return 0;
}
