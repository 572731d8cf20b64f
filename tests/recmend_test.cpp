// recmend end to end: the option walks, the position and detection runs with their exact
// reports and resulting bytes, and the index probe started through a stand-in DB/C runtime.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::TempDir;

testkit::RunResult recmend(const TempDir& dir, const std::vector<std::string>& args,
                           std::map<std::string, std::string> env = {}) {
  testkit::Command c;
  c.program = "recmend";
  c.args = args;
  c.env = std::move(env);
  c.cwd = dir.path();
  return testkit::run(c);
}

const std::string kHelp =
    "Usage: recmend [-d data_file] [-f fill] [-h] [-l length] [-p position] [-u] [-v]\n"
    "Update unsupported characters in files.\n\n"
    "Mandatory arguments:\n"
    "\t-d data file      Input data file including file path and extension\n"
    "\t                  (e.g. /qlon/data/SOH0001.TXT\n"
    "\t-l length         Record size (file definition size +1 for record separator).\n"
    "\t                  (i.e. XXX.DEF)\n"
    "One of:\n"
    "\t-i input file \tInput file including file path an extension containing\n"
    "\t \t\t\t\t\t\trecord positions for records with invalid characters.\n"
    "\t-p position       Record position as returned from recfind.\n"
    "\t-y\t\t\t\tRun in full-detection mode. Uses same fill\n"
    "\t\t\t\t\t\t\tcharacter as invalid character detection mode.\n"
    "\nOptional arguments:\n"
    "\t-f fill           Set ASCII fill value. Default is 32 (space).\n"
    "\t-t NDXPROBE\t\t\tRun NDXPROBE (after other operations). Highly recommended\n"
    "\t \t\t\t\t\t\tto run after hex-zero full-detection mode.\n"
    "\t-h help \t\t\tDisplay help messages.\n"
    "\t-u update mode    Run program in update mode. Default is report only.\n"
    "\t-x \t\t\t\tRun in hex zero full-detection mode. Uses 0xFF as\n"
    "\t\t\t\t\t\t\tthe fill character.\n"
    "\t-v verbose\t\tRun in verbose mode.\n";

const std::string kShutdown = "Error detected. Program shutting down.\n";
const std::string kSpaceFill = "Using fill character: ' ' (hex: 20; dec: 32).\n";

std::string notAll(const std::string& file, const std::string& size, const std::string& pos) {
  return "Not all parameters provided. Exiting program.\nData file: " + file +
         "; RECORD_SIZE: " + size + "; POSITION_SET = " + pos + "\n";
}

struct WalkCase {
  std::vector<std::string> args;
  std::string out;
};

void expectWalks(const std::vector<WalkCase>& cases) {
  TempDir dir;
  testkit::writeFile(dir.file("F"), "");
  for (const WalkCase& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += "[" + a + "]";
    testkit::RunResult r = recmend(dir, c.args);
    EXPECT_EQ(r.out, c.out) << shown;
    EXPECT_EQ(r.err, "") << shown;
    EXPECT_EQ(r.status, 0) << shown;
  }
  EXPECT_EQ(testkit::readFile(dir.file("F")), "");
}

TEST(RecmendOptions, ErrorsStopTheWalksAndNoRunTakesPlace) {
  expectWalks({
      {{}, notAll("", "0", "0")},
      {{"-uv"}, "\"uv\" is not a valid command.\n" + kShutdown},
      {{"-l120"}, "\"l120\" is not a valid command.\n" + kShutdown},
      {{"-p", "-5"}, "Invalid command: p\n" + kShutdown},
      {{"-d", "-u"}, "DATAFILE: -u\n" + notAll("-u", "0", "0")},
      {{"-d", "F", "-h", "-l", "101"}, kHelp},
      {{"-u", "-h", "-q"}, "Update mode set.\n" + kHelp},
      {{"-f", "31", "-d", "F"}, "Invalid fill value specified.\nInvalid command: f\n" + kShutdown},
      {{"-f", "127"}, "Invalid fill value specified.\nInvalid command: f\n" + kShutdown},
      {{"-f", "x"}, "Input is not a number.\nInvalid command: f\n" + kShutdown},
  });
}

TEST(RecmendOptions, ValuesAreAppliedAndTheDecisionFollows) {
  expectWalks({
      {{"-f", "32", "-p", "7"},
       "Setting fill value to: 32 ( )\nSetting record position to: 7\n" + notAll("", "0", "1")},
      {{"-f", "126", "-f", "65"},
       "Setting fill value to: 126 (~)\nSetting fill value to: 65 (A)\n" + notAll("", "0", "0")},
      {{"-d", "F", "-l", ""}, "DATAFILE: F\nSetting record size to: 0\n" + notAll("F", "0", "0")},
      {{"-d", "F", "-l", "0"}, "DATAFILE: F\nSetting record size to: 0\n" + notAll("F", "0", "0")},
      // An error in the second walk stops the options after it.
      {{"-d", "F", "-l", "x", "-p", "5"}, "DATAFILE: F\nInvalid command: l\n" + kShutdown},
      // An error in the first walk leaves every value unapplied.
      {{"-x", "-d", "F", "-t", "-q", "-y"},
       "Zero-detection mode set.\n\"q\" is not a valid command.\n" + kShutdown},
      {{"-y", "-d"},
       "Full-detection mode set.\nNo parameters provided for command d.\n" + kShutdown},
      {{"-d", "F", "-l", "65502"},
       "DATAFILE: F\nSetting record size to: 65502\n"
       "Record size 65502 is too large; the largest is 65501.\n" +
           kShutdown},
      {{"-l", "99999999999999999999"},
       "Setting record size to: 9223372036854775807\n"
       "Record size 9223372036854775807 is too large; the largest is 65501.\n" +
           kShutdown},
      {{"foo", "-", "-d", "F", "-l", "10", "-u", "-v"},
       "Update mode set.\nDATAFILE: F\nSetting record size to: 10\nUpdate mode set.\n" +
           kSpaceFill + "Number of invalid characters processed: 0\n"},
  });
}

TEST(RecmendOptions, UnopenableFilesAreReportedAndNothingIsExamined) {
  TempDir dir;
  testkit::writeFile(dir.file("F"), std::string(10, 'a') + "\xFA");
  testkit::RunResult r = recmend(dir, {"-d", "missing", "-l", "11", "-p", "0"});
  EXPECT_EQ(r.out,
            "DATAFILE: missing\nSetting record size to: 11\nSetting record position to: 0\n" +
                kSpaceFill + "Number of invalid characters processed: 0\n");
  EXPECT_EQ(r.err, "ERROR: No such file or directory\n");
  EXPECT_EQ(r.status, 0);
  r = recmend(dir, {"-d", "F", "-l", "11", "-x", "-i", "nolist"});
  EXPECT_EQ(r.out,
            "Zero-detection mode set.\nDATAFILE: F\nSetting record size to: 11\n"
            "Zero-detection mode set.\nInput file: nolist\n" +
                kSpaceFill + "Number of invalid characters processed: 0\n");
  EXPECT_EQ(r.err, "ERROR: No such file or directory\n");
}

// Three records of 11 bytes (10 data bytes and the mark) and three bytes of a fourth.
std::string positionFile() {
  return std::string("ABCDEFGHIJ\xFA", 11) + std::string("ab\0de\xFAgh\x7Fj\n", 11) +
         std::string(
             "\xE9"
             "123456789\xFA",
             11) +
         "xyz";
}

const std::string kPositionPrefix =
    "DATAFILE: F\nSetting record size to: 11\nSetting record position to: 11\n"
    "Input file: L\nSetting fill value to: 42 (*)\n"
    "Using fill character: '*' (hex: 2a; dec: 42).\n";

const std::string kRecord1Bytes = std::string("Invalid byte 2: ") + '\0' +
                                  " (hex: 0; dec: 0) Invalid byte 5: \xFA (hex: fa; dec: 250) "
                                  "Invalid byte 8: \x7F (hex: 7f; dec: 127) "
                                  "Invalid byte 10: \n (hex: a; dec: 10) ";

TEST(RecmendPositions, ListOfValidInvalidAndCrLfLinesAndAPositionPastTheEnd) {
  TempDir dir;
  testkit::writeFile(dir.file("F"), positionFile());
  testkit::writeFile(dir.file("L"), "0\nabc\n11\r\n\n22\n30\n1000\nz9");
  struct utimbuf old = {1000000000, 1000000000};
  ASSERT_EQ(utime(dir.file("F").c_str(), &old), 0);
  testkit::RunResult r = recmend(dir, {"-d", "F", "-l", "11", "-p", "11", "-i", "L", "-f", "42"});
  EXPECT_EQ(r.out, kPositionPrefix + "Record position: 11\n" + kRecord1Bytes +
                       "Record position: 0\n"
                       // The text before the line feed; only an empty line shows its line feed.
                       "Input file position (abc) is invalid.\n"
                       "Input file position (11\r) is invalid.\n"
                       "Input file position (\n) is invalid.\n"
                       "Record position: 22\n"
                       "Invalid byte 0: \xE9 (hex: e9; dec: 233) "
                       "Record position: 30\n"
                       "Record position: 1000\n"
                       "Input file position (z9) is invalid.\n"
                       "Number of invalid characters processed: 5\n");
  EXPECT_EQ(r.err,
            "ERROR: 6 bytes of 11 read.\nHit end of file (EOF)!\n"
            "ERROR: 0 bytes of 11 read.\nHit end of file (EOF)!\n");
  EXPECT_EQ(r.status, 0);
  // Report only: not a byte changed, not even the modification time.
  EXPECT_EQ(testkit::readFile(dir.file("F")), positionFile());
  struct stat st;
  ASSERT_EQ(stat(dir.file("F").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1000000000);
}

TEST(RecmendPositions, UpdateWritesRepairedRecordsInPlaceAndARepeatFindsNothing) {
  TempDir dir;
  testkit::writeFile(dir.file("F"), positionFile());
  testkit::writeFile(dir.file("L"), "11\n22\n12");
  testkit::RunResult r =
      recmend(dir, {"-d", "F", "-l", "11", "-p", "11", "-i", "L", "-f", "42", "-u"});
  EXPECT_EQ(r.out, "Update mode set.\n" +
                       kPositionPrefix.substr(0, kPositionPrefix.rfind("Using")) +
                       "Update mode set.\nUsing fill character: '*' (hex: 2a; dec: 42).\n"
                       "Record position: 11\n" +
                       kRecord1Bytes +
                       "File updated.\n"
                       "Record position: 11\n"
                       "Record position: 22\n"
                       "Invalid byte 0: \xE9 (hex: e9; dec: 233) File updated.\n"
                       "Record position: 12\n"
                       "Number of invalid characters processed: 5\n");
  EXPECT_EQ(r.err, "");
  // The record at 12 straddles two records: its bytes are all printable once those were mended.
  EXPECT_EQ(testkit::readFile(dir.file("F")), std::string("ABCDEFGHIJ\xFA"
                                                          "ab*de*gh*j*"
                                                          "*123456789\xFA"
                                                          "xyz"));
}

// Records of 11 bytes: a clean one; NUL, 0x80 and a mark inside; ten NULs; eleven NULs; and a
// trailing partial record of NULs that is no record.
std::string detectionFile() {
  return std::string("ABCDEFGHIJ\xFA", 11) +
         std::string(
             "a\0cd\x80"
             "f\xFAhij\xFA",
             11) +
         std::string(10, '\0') + "\xFA" + std::string(11, '\0') + std::string(3, '\0');
}

std::string change(const std::string& from, int fromCode, const std::string& to, int toCode,
                   int offset) {
  char hexFrom[8], hexTo[8];
  std::snprintf(hexFrom, sizeof hexFrom, "%x", fromCode);
  std::snprintf(hexTo, sizeof hexTo, "%x", toCode);
  return "Changing '" + from + "' (hex: " + hexFrom + "; dec: " + std::to_string(fromCode) +
         ") to '" + to + "' (hex: " + hexTo + "; dec: " + std::to_string(toCode) +
         "). Offset: " + std::to_string(offset) + "\n";
}

std::string nulRecord(int number, int nuls, bool update) {
  std::string s =
      "Record: " + std::to_string(number) + "; Position: " + std::to_string(number * 11) + "\n";
  for (int i = 0; i < nuls; ++i) s += change(std::string(1, '\0'), 0, "\xFF", 255, i);
  s += std::to_string(nuls) + " occurrences of 0x00 characters found.\n";
  if (update) s += "File updated.\n";
  return s;
}

struct DetectionCase {
  std::vector<std::string> modes;
  std::string modeLines;
  std::string report;
  std::string after;
};

std::vector<DetectionCase> detectionCases(bool update) {
  const std::string u = update ? "File updated.\n" : "";
  const std::string x = "Zero-detection mode set.\n", y = "Full-detection mode set.\n";
  const std::string nul = change(std::string(1, '\0'), 0, "\xFF", 255, 1);
  const std::string high = change("\x80", 128, " ", 32, 4);
  const std::string mark = change("\xFA", 250, " ", 32, 6);
  const std::string rec1 = "Record: 1; Position: 11\n";
  const std::string clean(("ABCDEFGHIJ\xFA"), 11);
  const std::string tail(3, '\0');
  const std::string ten = std::string(10, '\xFF') + "\xFA", eleven(11, '\xFF');
  return {
      {{"-x"},
       x,
       rec1 + nul + "1 occurrences of 0x00 characters found.\n" + u + nulRecord(2, 10, update) +
           nulRecord(3, 11, update) + "Number of invalid characters processed: 22\n",
       clean +
           std::string("a\xFF"
                       "cd\x80"
                       "f\xFAhij\xFA",
                       11) +
           ten + eleven + tail},
      {{"-y"},
       y,
       rec1 + high + mark + u + "Number of invalid characters processed: 2\n",
       clean + std::string("a\0cd f hij\xFA", 11) + std::string(10, '\0') + "\xFA" +
           std::string(11, '\0') + tail},
      {{"-x", "-y"},
       x + y,
       rec1 + nul + high + mark + "1 occurrences of 0x00 characters found.\n" + u +
           nulRecord(2, 10, update) + nulRecord(3, 11, update) +
           "Number of invalid characters processed: 24\n",
       clean +
           std::string("a\xFF"
                       "cd f hij\xFA",
                       11) +
           ten + eleven + tail},
  };
}

// A report-only run reports everything and leaves the file alone, to its modification time; an
// update run reports the same and writes exactly the changes it reported.
TEST(RecmendDetection, ReportOnlyAndUpdateRuns) {
  for (const bool update : {false, true}) {
    for (const DetectionCase& c : detectionCases(update)) {
      SCOPED_TRACE(c.modeLines + (update ? "update" : "report only"));
      TempDir dir;
      testkit::writeFile(dir.file("F"), detectionFile());
      struct utimbuf old = {1000000000, 1000000000};
      ASSERT_EQ(utime(dir.file("F").c_str(), &old), 0);
      std::vector<std::string> args = {"-d", "F", "-l", "11"};
      args.insert(args.end(), c.modes.begin(), c.modes.end());
      if (update) args.push_back("-u");
      testkit::RunResult r = recmend(dir, args);
      const std::string modes = c.modeLines + (update ? "Update mode set.\n" : "");
      EXPECT_EQ(r.out, modes + "DATAFILE: F\nSetting record size to: 11\n" + modes + kSpaceFill +
                           c.report);
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(testkit::readFile(dir.file("F")), update ? c.after : detectionFile());
      struct stat st;
      ASSERT_EQ(stat(dir.file("F").c_str(), &st), 0);
      if (!update) {
        EXPECT_EQ(st.st_mtime, 1000000000);
      }
    }
  }
}

TEST(RecmendDetection, FillValueAppliesToFullDetectionOnly) {
  TempDir dir;
  testkit::writeFile(dir.file("F"), std::string("\x01\0b\xFA", 4));
  testkit::RunResult r = recmend(dir, {"-d", "F", "-l", "4", "-x", "-y", "-f", "35", "-u"});
  EXPECT_EQ(testkit::readFile(dir.file("F")),
            "#\xFF"
            "b\xFA");
  EXPECT_NE(
      r.out.find(change("\x01", 1, "#", 35, 0) + change(std::string(1, '\0'), 0, "\xFF", 255, 1)),
      std::string::npos);
}

// A stand-in for the DB/C runtime: it records its operands, one a line, and says it ran.
struct Probe {
  TempDir dir;
  Probe() {
    dir.mkdir("bin");
    dir.mkdir("qlon/src/cf");
    testkit::writeFile(dir.file("bin/DBC"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" +
                                                dir.file("args") + "\"\necho DBC ran\nexit 3\n");
    chmod(dir.file("bin/DBC").c_str(), 0755);
  }
  void install(int version) {
    testkit::writeFile(dir.file("qlon/src/cf/NDXPROBE" + std::to_string(version) + ".PRG"), "");
  }
  std::map<std::string, std::string> env() const {
    return {{"PATH", dir.file("bin") + ":" + testkit::binDir() + ":/usr/bin:/bin"},
            {"QLON_ROOT", dir.file("qlon")}};
  }
  std::string args() const {
    return testkit::exists(dir.file("args")) ? testkit::readFile(dir.file("args")) : "(not run)";
  }
};

const std::string kRolling = "Rolling out the current NDXPROBE command: ";

// The report of a run over records of 3 bytes that found nothing to mend.
std::string nothingFound(const std::string& name) {
  return "DATAFILE: " + name + "\nSetting record size to: 3\n" + kSpaceFill +
         "Number of invalid characters processed: 0\n";
}

TEST(RecmendProbe, VersionThreeTwoOrOneAfterReportOnlyAndUpdateRuns) {
  struct Case {
    std::vector<int> installed;
    std::vector<std::string> extra;
    std::string command;  // its operands, one a line, are what the runtime is handed
  };
  const std::string all = " SOH0001.TXT ALL DUP";
  const std::vector<Case> cases = {
      {{2, 3}, {}, "DBC NDXPROBE3" + all},        {{3}, {"-u", "-x"}, "DBC NDXPROBE3" + all},
      {{2}, {"-u", "-y"}, "DBC NDXPROBE2" + all}, {{2}, {}, "DBC NDXPROBE2" + all},
      {{}, {"-u", "-x"}, "DBC NDXPROBE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases.data()) + ": " + c.command);
    Probe p;
    for (int v : c.installed) p.install(v);
    std::string data = p.dir.mkdir("data") + "/SOH0001.TXT";
    testkit::writeFile(data, std::string("ab\0d\xFA", 5));
    std::vector<std::string> args = {"-t", "-d", data, "-l", "5"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    testkit::RunResult r = recmend(p.dir, args, p.env());
    std::string tail = "Number of invalid characters processed: ";
    std::size_t at = r.out.find(tail);
    ASSERT_NE(at, std::string::npos) << r.out;
    // The probe's own output follows ours.
    EXPECT_EQ(r.out.substr(r.out.find('\n', at) + 1), kRolling + c.command + "\nDBC ran\n");
    std::string operands = c.command.substr(4) + "\n";
    std::replace(operands.begin(), operands.end(), ' ', '\n');
    EXPECT_EQ(p.args(), operands);
    EXPECT_EQ(r.status, 0);
  }
}

TEST(RecmendProbe, NamesAreQuotedForTheShellAndAnEmptyNameRunsNothing) {
  Probe p;
  p.install(3);
  std::string name = "A;touch PWNED.TXT";
  testkit::writeFile(p.dir.file(name), "xy\xFA");
  testkit::RunResult r = recmend(p.dir, {"-d", name, "-l", "3", "-t"}, p.env());
  EXPECT_EQ(r.out,
            nothingFound(name) + kRolling + "DBC NDXPROBE3 'A;touch PWNED.TXT' ALL DUP\nDBC ran\n");
  EXPECT_EQ(p.args(), "NDXPROBE3\n" + name + "\nALL\nDUP\n");
  EXPECT_FALSE(testkit::exists(p.dir.file("PWNED.TXT")));

  // The probe runs even when the repair could not open its file, but not without a name.
  r = recmend(p.dir, {"-d", "sub/", "-l", "3", "-t"}, p.env());
  EXPECT_EQ(r.out, nothingFound("sub/") + kRolling + "DBC NDXPROBE3 sub ALL DUP\nDBC ran\n");
  Probe q;
  r = recmend(q.dir, {"-d", "//", "-l", "3", "-t"}, q.env());
  EXPECT_EQ(r.out,
            nothingFound("//") + "The data file path has no file name; NDXPROBE is not run.\n");
  EXPECT_EQ(q.args(), "(not run)");
  EXPECT_EQ(r.status, 0);
}

TEST(RecmendProbe, WithoutQlonRootTheProgramsAreLookedForUnderTheFixedRoot) {
  struct stat st;
  if (stat("/qlon/src/cf", &st) == 0) GTEST_SKIP() << "an installation is present under /qlon";
  Probe p;
  p.install(3);
  testkit::writeFile(p.dir.file("F"), "xy\xFA");
  auto env = p.env();
  env["QLON_ROOT"] = "";
  testkit::RunResult r = recmend(p.dir, {"-d", "F", "-l", "3", "-t"}, env);
  EXPECT_NE(r.out.find(kRolling + "DBC NDXPROBE\n"), std::string::npos) << r.out;
  EXPECT_EQ(p.args(), "NDXPROBE\n");
}

}  // namespace
