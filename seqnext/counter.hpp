// The counter of a sequence number file: a ten-character decimal field at the start of the file,
// read, incremented and written back under an exclusive flock so that concurrent callers never
// see the same number.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/context.hpp"

namespace dbc::seqnext {

inline constexpr std::size_t kFieldWidth = 10;
// The largest number the field holds; the counter refuses to go past it rather than write back
// a field that no longer fits.
inline constexpr long long kSerialMax = 9999999999LL;
inline constexpr int kLockAttempts = 10;
inline constexpr unsigned kLockWait = 100000;  // microseconds

// The number in a field, read the way atoi reads it: leading white space skipped, an optional
// sign, then digits up to the first non-digit (or NUL). No digits at all count as 0.
long long fieldValue(std::string_view field);

// The field that holds the number after the one in `field`, formatted "%10lld"; nothing when
// that number would pass kSerialMax.
std::optional<std::string> nextField(std::string_view field);

// Tries a non-blocking exclusive lock up to kLockAttempts times; after each failed attempt it
// prints "sleep" on the context's output and waits kLockWait through the context. True once the
// lock is held. The line goes where the number would: callers have always read past it.
bool lockCounter(int fd, Context& context);

enum class Outcome {
  kNumber,       // `field` holds the number handed out; it is in the file
  kNoLock,       // the lock was never obtained; the file is untouched
  kShort,        // the file holds fewer than ten bytes; untouched
  kReadFailed,   // the field could not be read (a FIFO, a failing disk): no short file; untouched
  kOverflow,     // the counter is at kSerialMax; untouched
  kWriteFailed,  // the new field could not be written back; nothing may be handed out
};

struct Taken {
  Outcome outcome;
  std::string field;
};

// One read-increment-write cycle on the open counter file, waiting for the lock as lockCounter
// does. On kNumber the lock is still held; closing the descriptor releases it. On every other
// outcome the lock has been released.
Taken takeNumber(int fd, Context& context);

}  // namespace dbc::seqnext
