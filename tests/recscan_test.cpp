// recscan as users and the mirroring scripts run it: exact output, exit status, file bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testkit/datafile.hpp"
#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

using testkit::DataFile;

const char kBanner[] = "Recscan utility May 31, 2021\n";
const char kUsage[] =
    "Usage: recscan file [-f1] [-f2] [-f3] [-f4] [-f5] [-b] [-c] [-d] [-h] [-?] [-s]\n"
    "Options:\n"
    "   -f1 = replace all chars < 0x20 with 0x20 except ETX (0x14) and ESC (0x1b)\n"
    "   -f2 = replace 0x00 with 0x20\n"
    "   -f3 = replace 0x00 with 0xff\n"
    "   -f4 = replace 0x80 thru 0xf8 with 0x20\n"
    "   -f5 = replace 0xff with 0x20s\n"
    "   -b  = display size in bytes\n"
    "   -c  = display compression size\n"
    "   -d  = display bad characters with file position\n"
    "   -h  = display help\n"
    "   -p  = display progress\n"
    "   -v  = verbose\n"
    "   -?  = display help\n"
    "   -s  = display file summary (used by Data Mirroring)\n"
    "Note: If no -f{n} is specified, then no changes are made.\n"
    "      If multiple -f{n} are specified, then the last one is used.\n"
    "\n";

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

// A scratch installation: the working folder holds the data files, qlon/dmf the definitions.
class Recscan : public ::testing::Test {
 protected:
  Recscan() : dmf_(dir_.mkdir("qlon/dmf")) {}

  testkit::RunResult run(std::vector<std::string> args,
                         std::map<std::string, std::string> env = {}) {
    testkit::Command c;
    c.program = "recscan";
    c.args = std::move(args);
    c.env = std::move(env);
    c.env.emplace("QLON_ROOT", dir_.file("qlon"));
    c.cwd = dir_.path();
    return testkit::run(c);
  }
  // Runs recscan through the shell, so that the script can prepare /tmp/<pid>.pid first: the
  // shell's process id is recscan's after exec. The script's first line prints it.
  testkit::RunResult runAs(const std::string& script) {
    testkit::Command c;
    c.program = "/bin/sh";
    c.args = {"-c", "echo $$; " + script};
    c.env = {{"QLON_ROOT", dir_.file("qlon")}};
    c.cwd = dir_.path();
    return testkit::run(c);
  }
  void data(const std::string& name, const std::string& bytes) {
    testkit::writeFile(dir_.file(name), bytes);
  }
  std::string data(const std::string& name) { return testkit::readFile(dir_.file(name)); }
  void definition(const std::string& file, const std::string& lines) {
    testkit::writeFile(dmf_ + "/" + file, lines);
  }

  testkit::TempDir dir_;
  std::string dmf_;
};

// Four fixed-length records of 28 characters, the third with a control character in it.
std::string customers() {
  return DataFile()
      .record("CUSTOMER 0001 ACME LTD      ")
      .record("CUSTOMER 0002 BETA GMBH     ")
      .record(std::string("CUSTOMER 0003 GAMMA\x01INC     "))
      .record("CUSTOMER 0004 DELTA PLC     ")
      .eof();
}

TEST_F(Recscan, UsageText) {
  const std::string full = std::string(kBanner) + kUsage;
  for (const auto& [args, out] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{}, full}, {{"-s"}, kUsage}, {{"-?", "-h", "CUST"}, full}}) {
    auto r = run(args);
    EXPECT_EQ(r.out, out) << args.size() << " arguments";
    EXPECT_EQ(r.status, 0) << args.size() << " arguments";
  }
}

TEST_F(Recscan, ReadableReportWithDefinition) {
  data("CUST.TXT", customers());
  definition("PD01.DMF", "\"CUST\":MIR 00028N rest of the line\n");
  auto r = run({"CUST"});
  const std::string head = std::string(kBanner) +
                           "./CUST.TXT\n"
                           "DBC type file\n"
                           "Compression is NOT configured.\n"
                           "records=4, max size=28, min size=28, compressed=No, deleted=No\n"
                           "     filsiz=117, eofcnt=1, delsiz=";
  const std::string tail =
      " (0.00%)\n     errcnt=1.0, ichcnt=0 offset=0 dmflen=28 dmfcmp=No runtim=0.0 min\n";
  EXPECT_EQ(r.out, head + tail);  // without -b the deleted size is blank
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(data("CUST.TXT"), customers());

  // -? is no option; of two names the last one counts.
  auto q = run({"-?", "OTHER", "CUST", "-b", "-c"});
  EXPECT_EQ(q.out, head + "0" + tail +
                       "\n"
                       "     Uncompressed filesize = 117  (117)\n"
                       "       Compressed filesize = 96  (96)\n"
                       "       Compression savings = 21  (21) 17.00%\n");
}

TEST_F(Recscan, SummaryLineAndOptionLines) {
  data("CUST01.TXT", DataFile()
                         .record("ABC")
                         .deleted(4)
                         .record(std::string("A\0\x85", 3))
                         .record(std::string(30, 'Z'))
                         .eof());
  definition("PD01.DMF", "x CUST :MIR 00003N\n");
  auto r = run({"-s", "CUST01.TXT"});
  EXPECT_EQ(r.out, "CUST01.TXT 4 42313 1 2.2 0 4 8.89% 45 3 30 1 1 3 1 3 0\n");
  EXPECT_EQ(r.status, 0);

  auto d = run({"-d", "-f2", "-v", "CUST01"}, {{"DBC_ICHRS", "ON"}});
  EXPECT_EQ(d.out, std::string(kBanner) +
                       "Fix option is 2\n"
                       "Debug option is set\n"
                       "Verbose option is set\n"
                       "Ichrs option is set\n"
                       "./CUST01.TXT\n"
                       "DBC type file\n"
                       "Compression is NOT configured.\n"
                       "0x00 10 (2)\n"
                       "\r100%\r"
                       "records=4, max size=30, min size=3, compressed=No, deleted=Yes\n"
                       "     filsiz=45, eofcnt=1, delsiz=4 (8.89%)\n"
                       "     errcnt=1.1, ichcnt=1 offset=1 dmflen=3 dmfcmp=No runtim=0.0 min\n");
  EXPECT_EQ(data("CUST01.TXT")[10], ' ');
  // The switch is on only for exactly "on" or "ON"; -v under -s only ends with a return.
  auto s = run({"-v", "-s", "CUST01"}, {{"DBC_ICHRS", "On"}});
  EXPECT_EQ(s.out, "\rCUST01.TXT 4 42377 1 1.1 0 4 8.89% 45 3 30 1 1 3 1 3 0\n");
}

TEST_F(Recscan, ProgressOverSeveralBlocks) {
  std::string text(100000, 'x');
  text[50000] = '\n';
  text.back() = '\n';
  data("BIG.TXT", text);
  auto r = run({"-p", "BIG"});
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "Verbose option is set\n"
                       "./BIG.TXT\n"
                       "Text type file\n"
                       "\r 65%\r100%\r"
                       "records=2, max size=50000, min size=49998, compressed=No, deleted=No\n"
                       "     filsiz=97.66k, eofcnt=0, delsiz= (0.00%)\n"
                       "     errcnt=0.0, ichcnt=0 offset=0 dmflen=0 dmfcmp=No runtim=0.0 min\n");
}

TEST_F(Recscan, FileTypes) {
  data("T.TXT", testkit::textFile({"AB", "C", "DE"}));
  data("C.TXT", testkit::textFile({"AB", "CD"}, true));
  // A file whose last byte is 0xFB is DBC type whatever it holds.
  data("D.TXT", "AB\r\nCD\n\xFB");
  data("E.TXT", "");
  std::string straddle(65535, 'x');
  straddle += "\r\nyy\n";
  data("S.TXT", straddle);
  struct Case {
    const char* name;
    const char* line;
  } cases[] = {
      {"T", "T.TXT 3 470 0 0.0 0 0 0.00% 8 1 2 -1 1 0 2 2 0\n"},
      {"C", "C.TXT 2 478 0 2.0 0 0 0.00% 8 3 3 -1 0 0 3 3 0\n"},
      {"D", "D.TXT 0 1089 1 3.0 0 0 0.00% 8 -1 -1 -1 0 0 1 -1 0\n"},
      {"E", "E.TXT 0 0 0 0.0 0 0 0.00% 0 -1 -1 -1 0 0 2 -1 0\n"},
      {"S", nullptr},
  };
  for (const Case& c : cases) {
    auto r = run({"-s", c.name});
    if (c.line != nullptr) {
      EXPECT_EQ(r.out, c.line) << c.name;
    }
    EXPECT_EQ(r.status, 0);
  }
  // The type line stands where it always has, whether the pairs are looked for in a pass of their
  // own (when the scan prints: -d, -p, a fix mode) or by the scan itself (-b prints nothing
  // more); a fix mode that turns the carriage returns into blanks changes no type.
  for (const char* opt : {"-b", "-d", "-p", "-f2", "-f1"}) {
    SCOPED_TRACE(opt);
    auto s = run({opt, "S"});
    EXPECT_NE(s.out.find("./S.TXT\nText type file\n"), std::string::npos) << s.out;
    auto c = run({opt, "C"});
    EXPECT_NE(c.out.find("./C.TXT\nCRLF type file\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("records=2"), std::string::npos) << c.out;
    data("C.TXT", testkit::textFile({"AB", "CD"}, true));
    auto cs = run({"-s", opt, "C"});
    EXPECT_NE(cs.out.find(" 3 3 0\n"), std::string::npos) << cs.out;  // CRLF type, first size 3
    data("C.TXT", testkit::textFile({"AB", "CD"}, true));
  }
}

TEST_F(Recscan, EachFixModeRepairsTheFile) {
  const std::string dbc = DataFile()
                              .record(bytes({'A', 0x00, 0x0D, 0x09, 0x85, 0xFF, 'B'}))
                              .raw(bytes({0xFF, 0xFF, 'C', 0x00, 0x00, 0xFA}))
                              .eof();
  // The bytes that change: the record's 2nd, 3rd, 5th and 6th, the raw tail's 4th, 5th and 6th.
  auto dbcAs = [](int r1, int r2, int r4, int r5, int t3, int t4, int t5) {
    return DataFile()
        .record(bytes({'A', r1, r2, 0x09, r4, r5, 'B'}))
        .raw(bytes({0xFF, 0xFF, 'C', t3, t4, t5}))
        .eof();
  };
  const std::string want[] = {
      dbc,
      dbcAs(' ', ' ', 0x85, 0xFF, ' ', ' ', 0xFA),
      dbcAs(' ', 0x0D, 0x85, 0xFF, ' ', ' ', 0xFA),
      dbcAs(0xFF, 0x0D, 0x85, 0xFF, 0xFF, 0xFF, 0xFF),
      dbcAs(0x00, 0x0D, ' ', 0xFF, 0x00, 0x00, 0xFA),
      dbcAs(0x00, 0x0D, 0x85, ' ', 0x00, 0x00, 0xFA),
  };
  for (int mode = 0; mode <= 5; ++mode) {
    data("R.TXT", dbc);
    std::vector<std::string> args{"R"};
    if (mode > 0) args.push_back("-f" + std::to_string(mode));
    auto r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(data("R.TXT"), want[mode]) << "mode " << mode;
  }
  // In a compressed file 0x85 is a digit pair, and mode 4 leaves it.
  definition("PD01.DMF", "\"R\":MIR 00000Y\n");
  data("R.TXT", dbc);
  auto r = run({"R", "-f4"});
  EXPECT_NE(r.out.find("Compression is configured.\n"), std::string::npos);
  EXPECT_EQ(data("R.TXT"), dbc);

  // Text files: modes 1 to 3 only.
  const std::string text = bytes({'A', 0x00, 0x0D, 0x7F, 0xFF, '\n'});
  for (const auto& [option, after] : std::vector<std::pair<std::string, std::string>>{
           {"-F1", bytes({'A', ' ', ' ', 0x7F, 0xFF, '\n'})},
           {"-f3", bytes({'A', 0xFF, 0x0D, 0x7F, 0xFF, '\n'})},
           {"-f5", text}}) {
    data("X.TXT", text);
    run({"X", option});
    EXPECT_EQ(data("X.TXT"), after) << option;
  }
}

TEST_F(Recscan, DefinitionLookupPassesAndFields) {
  data("CUST01.TXT", DataFile().compressed("12  AB").eof());
  // Pass 1: PD* files only, so a line in XY01.DMF is not seen while PD01.DMF has one.
  definition("XY01.DMF", "\"CUST\":MIR 00099N\n");
  definition("PD01.DMF", "\"CUST\":MIR 00005Y\n");
  auto r = run({"-s", "CUST01"});
  EXPECT_EQ(r.out, "CUST01.TXT 1 1235 1 0.0 0 0 0.00% 7 6 6 1 0 5 1 6 1\n");
  // Pass 2: any definition file.
  ::unlink((dmf_ + "/PD01.DMF").c_str());
  r = run({"-s", "CUST01"});
  EXPECT_EQ(r.out, "CUST01.TXT 1 712 1 1.1 0 0 0.00% 7 5 5 1 1 99 1 5 0\n");
  auto full = run({"CUST01"});
  EXPECT_NE(full.out.find("DBC type file\nCompression is NOT configured.\n"), std::string::npos);
  // No definition at all: not compressed, no record length.
  ::unlink((dmf_ + "/XY01.DMF").c_str());
  r = run({"-s", "CUST01"});
  EXPECT_EQ(r.out, "CUST01.TXT 1 712 1 1.1 0 0 0.00% 7 5 5 1 0 0 1 5 0\n");
}

TEST_F(Recscan, OpenFailures) {
  auto r = run({"-f1", "-d", "NOPE"});
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "Fix option is 1\n"
                       "Debug option is set\n"
                       "Error opening NOPE.TXT\n");
  EXPECT_EQ(r.status, 1);
  r = run({"-s", "NOPE.DAT"});
  EXPECT_EQ(r.out, "Error opening NOPE.DAT\n");
  EXPECT_EQ(r.status, 1);
  // Write permission is needed even without a fix mode.
  data("RO.TXT", "AB\n");
  ::chmod(dir_.file("RO.TXT").c_str(), 0444);
  if (::access(dir_.file("RO.TXT").c_str(), W_OK) != 0) {
    r = run({"-s", "RO"});
    EXPECT_EQ(r.out, "Error opening RO.TXT\n");
    EXPECT_EQ(r.status, 1);
  }
  // Longer than the name buffers have ever held.
  const std::string longName(100, 'N');
  r = run({"-s", longName});
  EXPECT_EQ(r.out, "File name longer than 99 characters: " + longName + "\n");
  EXPECT_EQ(r.status, 1);
  // An unreadable configuration file is reported and the run goes on.
  data("OK.TXT", "AB\n");
  r = run({"-s", "OK"}, {{"DBC_CFG", dir_.file("missing.cfg")}});
  EXPECT_NE(r.out.find("\nError: Unable to open: " + dir_.file("missing.cfg") + " \n"),
            std::string::npos);
  EXPECT_NE(r.out.find("OK.TXT 1 "), std::string::npos);
  EXPECT_EQ(r.status, 0);
}

TEST_F(Recscan, HostileNamesCannotInjectCommands) {
  const std::string names[] = {"a\";touch pwned;\"", "b$(touch pwned)", "c`touch pwned`",
                               "d';touch pwned;'"};
  for (const std::string& id : names) {
    data(id + ".TXT", DataFile().record("ABCDE").eof());
    definition("PD01.DMF", id + ":MIR 00005N\n");
    auto r = run({"-s", id});
    EXPECT_EQ(r.out, id + ".TXT 1 1015 1 0.0 0 0 0.00% 7 5 5 -1 0 5 1 5 0\n");
    EXPECT_FALSE(testkit::exists(dir_.file("pwned"))) << id;
  }
}

TEST_F(Recscan, TemporaryFileIsNeverWrittenThroughAPlantedLink) {
  data("CUST.TXT", customers());
  definition("PD01.DMF", "\"CUST\":MIR 00028N\n");
  testkit::writeFile(dir_.file("victim"), "keep me");
  auto r = runAs("ln -s '" + dir_.file("victim") + "' /tmp/$$.pid; exec recscan -s CUST");
  const std::string pid = r.out.substr(0, r.out.find('\n'));
  EXPECT_EQ(r.out, pid + "\nCUST.TXT 4 18990 1 1.0 0 0 0.00% 117 28 28 -1 0 28 1 28 0\n");
  EXPECT_EQ(testkit::readFile(dir_.file("victim")), "keep me");
  EXPECT_FALSE(testkit::exists("/tmp/" + pid + ".pid"));

  // A name that cannot be cleared: said so, and the run goes on without a definition.
  r = runAs("mkdir -p /tmp/$$.pid/x; exec recscan CUST");
  const std::string pid2 = r.out.substr(0, r.out.find('\n'));
  const std::string tmp = "/tmp/" + pid2 + ".pid";
  EXPECT_NE(r.out.find("./CUST.TXT\n\nError creating " + tmp +
                       "\nDBC type file\n"
                       "Compression not defined.\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.status, 0);
  ::rmdir((tmp + "/x").c_str());
  ::rmdir(tmp.c_str());
}

}  // namespace
