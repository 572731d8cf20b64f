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

inline constexpr Variant kIxmark3{"ixmark3 January 11, 2023",
                                  "Format: ixmark3 isifile",
                                  true,
                                  true,
                                  "dbcdx.file.vol.wrk=",
                                  true,
                                  true,
                                  true,
                                  true,
                                  "-C"};
inline constexpr Variant kIxmark2{"ixmark2 - August 31, 2020",
                                  "Format: ixmark isifile",
                                  false,
                                  false,
                                  "dbcdx.file.vol.wrk",
                                  false,
                                  false,
                                  false,
                                  false,
                                  "-T"};

}  // namespace dbc::ixmark
