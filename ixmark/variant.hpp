// What sets ixmark3 apart from its older sibling ixmark: one value of this type is handed to the
// shared run, and every difference between the two programs is a field here.
#pragma once

namespace dbc::ixmark {

struct Variant {
  const char* title;       // printed by "\n%s\n"
  const char* usage;       // "Format: ... isifile"
  bool collate;            // reads dbcdx.file.collate and translates keys through it
  bool ndxprobeWrk;        // NDXPROBE_WRK may name the work directory
  const char* wrkKey;      // key of the work directory volume
  bool showWrk;            // the work directory is printed on a line of its own
  bool wrkBeforeArgs;      // the work directory is looked up before the arguments are read
  bool compressedTags;     // tags as compressed DB/C records ended by 0xFB, else text lines
  bool cleanInvalid;       // invalid key characters become spaces in the tag
  const char* sortSwitch;  // -C or -T
};

inline constexpr Variant kIxmark3{
    .title = "ixmark3 January 11, 2023",
    .usage = "Format: ixmark3 isifile",
    .collate = true,
    .ndxprobeWrk = true,
    .wrkKey = "dbcdx.file.vol.wrk=",
    .showWrk = true,
    .wrkBeforeArgs = true,
    .compressedTags = true,
    .cleanInvalid = true,
    .sortSwitch = "-C",
};
inline constexpr Variant kIxmark2{
    .title = "ixmark2 - August 31, 2020",
    .usage = "Format: ixmark isifile",
    .collate = false,
    .ndxprobeWrk = false,
    .wrkKey = "dbcdx.file.vol.wrk",
    .showWrk = false,
    .wrkBeforeArgs = false,
    .compressedTags = false,
    .cleanInvalid = false,
    .sortSwitch = "-T",
};

}  // namespace dbc::ixmark
