// What sets ixmark3 apart from its older sibling ixmark: one value of this type is handed to the
// shared run, and every difference between the two programs is a field here. A Variant's defaults
// are ixmark3's; ixmark spells out where it differs.
#pragma once

namespace dbc::ixmark {

struct Variant {
  // printed by "\n%s\n"
  const char* title = "ixmark3 January 11, 2023";
  const char* usage = "Format: ixmark3 isifile";
  // reads dbcdx.file.collate and translates keys through it
  bool collate = true;
  // NDXPROBE_WRK may name the work directory
  bool ndxprobeWrk = true;
  // key of the work directory volume
  const char* wrkKey = "dbcdx.file.vol.wrk=";
  // the work directory is printed on a line of its own
  bool showWrk = true;
  // the work directory is looked up before the arguments are read
  bool wrkBeforeArgs = true;
  // tags as compressed DB/C records ended by 0xFB, else text lines
  bool compressedTags = true;
  // invalid key characters become spaces in the tag
  bool cleanInvalid = true;
  // -C or -T
  const char* sortSwitch = "-C";
};

inline constexpr Variant kIxmark3{};
inline constexpr Variant kIxmark{
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
