// The scan at the speed of the vector units. Nearly every byte of a data file is a plain
// character and nearly every other one a record mark: a record of plain characters is taken 32
// bytes at a time, its checksum added from two totals of each chunk, and closed at its mark.
// The compressed-size estimate goes 64 bytes at a time, its runs of spaces and digits counted by
// bit arithmetic on each word's class masks. Either leaves exactly what the byte rules leave.
//
// Three engines do the vector work: AVX2 where the processor has it (chosen at run time), SSE2
// (every x86-64 has it), and plain C++ for any other machine. The tests hold each one to the
// byte rules.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbc::recscan {

enum class Engine : unsigned char { kPlain, kSse2, kAvx2 };

// The fastest engine this processor runs.
Engine bestEngine();
// Whether this processor runs `engine`.
bool engineRuns(Engine engine);

// A record that ends: the smallest, largest and first sizes of non-empty records.
inline void closeRecord(std::int64_t recsiz, std::int64_t& minsiz, std::int64_t& maxsiz,
                        std::int64_t& fstsiz) {
  if (recsiz > 0) {
    // -1 (none yet) is below every size, and above every size taken unsigned.
    if (static_cast<std::uint64_t>(minsiz) > static_cast<std::uint64_t>(recsiz)) minsiz = recsiz;
    if (maxsiz < recsiz) maxsiz = recsiz;
    if (fstsiz == -1) fstsiz = recsiz;
  }
}

// The counters a run of plain characters and record marks moves, copied in and out of the
// scanner around the run.
struct RecordRun {
  std::int64_t reccnt;
  std::int64_t recpos;
  std::int64_t recsiz;
  std::int64_t minsiz;
  std::int64_t maxsiz;
  std::int64_t fstsiz;
  std::int64_t recsiz2;  // text files: the first line's size, -1 before it
  std::uint16_t chksum;
  bool offset;
  // The end (offset + 1) of the last record found on its fixed-length position, -1 before one:
  // a record of the usual length then needs no division to place it.
  std::int64_t gridEnd;
};

// How record marks are taken in a run.
struct MarkRules {
  std::int64_t curpos;  // file offset of the buffer's first byte
  bool marks;           // false: a mark ends the run like any other special byte
  // DB/C files: the record length plus one that marks are held to, 0 for none.
  std::int64_t grid;
};

// Takes plain characters and the record marks that end them (the line feed in text files, 0xFA
// in DB/C files) from b[i] on; returns where it stopped: at the first other special byte, or
// near the end of the bytes, where the byte rules take the rest.
template <bool kText>
std::size_t plainRecords(Engine engine, const unsigned char* b, std::size_t i, std::size_t n,
                         RecordRun& run, const MarkRules& rules);

// The compressed-size estimate with every byte counted as soon as it is seen: an open run of
// spaces has already added what its bytes so far will add, a waiting digit its one byte. `run`
// is the length of the open run of spaces modulo 248 (0: none), `pend` whether a digit waits.
struct EagerEstimate {
  std::int64_t total;
  unsigned run;
  bool pend;
};

// The estimate over p[0, n); digits and points pair up only when `digits`.
void estimateWords(Engine engine, const unsigned char* p, std::size_t n, bool digits,
                   EagerEstimate& e);

}  // namespace dbc::recscan
