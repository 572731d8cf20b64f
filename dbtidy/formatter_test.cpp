#include "dbtidy/formatter.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/capture.hpp"

namespace dbc::dbtidy {
namespace {

Settings defaults() {
  Settings s;
  s.tabstop = s.ininc;
  return s;
}

std::string tabs(int n) { return std::string(n, '\t'); }

struct Step {
  std::string in;
  std::string out;
  int depth;
};

// Formats the lines one after the other, as a run does, and checks each result and depth.
void expectSteps(const Settings& s, const std::vector<Step>& steps) {
  testkit::Capture cap;
  Formatter f(s, cap.file());
  long long n = 0;
  for (const Step& step : steps) {
    std::string line = step.in;
    ASSERT_EQ(f.process(line, ++n), 1) << step.in;
    EXPECT_EQ(f.outline(), step.out) << "line " << n << ": [" << step.in << "]";
    EXPECT_EQ(f.indepth, step.depth) << "line " << n << ": [" << step.in << "]";
  }
}

std::vector<Step> workedExample(bool labelsKept, bool loopStyle2) {
  return {
      {"* a comment line", "* a comment line", 0},
      {"COUNT    FORM     5", "COUNT" + tabs(2) + "FORM 5", 0},
      {"NAME DIM 20", "NAME" + tabs(3) + "DIM 20", 0},
      {"START  MOVE 1 TO X",
       labelsKept ? "START" + tabs(2) + "MOVE 1 TO X" : "START\n" + tabs(1) + "MOVE 1 TO X", 0},
      {" IF (COUNT = 0)", tabs(1) + "IF (COUNT = 0)", 1},
      {"   LOOP", tabs(2) + "LOOP", 2},
      {" WHILE (COUNT < 5)", tabs(loopStyle2 ? 2 : 3) + "WHILE (COUNT < 5)", 2},
      {" ADD 1 TO COUNT", tabs(3) + "ADD 1 TO COUNT", 2},
      {" REPEAT", tabs(2) + "REPEAT", 1},
      {" ELSE", tabs(1) + "ELSE", 1},
      {" SWITCH COUNT", tabs(2) + "SWITCH COUNT", 3},
      {" CASE 1", tabs(3) + "CASE 1", 3},
      {" MOVE 2 TO X:", tabs(4) + "MOVE 2 TO X:", 3},
      {"      Y", tabs(5) + "Y", 3},
      {" ENDSWITCH", tabs(2) + "ENDSWITCH", 1},
      {" ENDIF", tabs(1) + "ENDIF", 0},
      {"DOIT ROUTINE A,B", "DOIT" + tabs(1) + "ROUTINE A,B", 0},
      {" LISTEND", tabs(3) + "LISTEND", 0},
  };
}

// The defaults, labels kept with -L, and loop style 2.
TEST(WorkedExample, DefaultsLabelsKeptAndLoopStyle2) {
  for (const auto& [labelsKept, loopStyle2] :
       {std::pair{false, false}, {true, false}, {false, true}}) {
    SCOPED_TRACE(labelsKept ? "-L" : loopStyle2 ? "-2" : "defaults");
    Settings s = defaults();
    s.lblsplit = labelsKept;
    s.loopswt = loopStyle2;
    expectSteps(s, workedExample(labelsKept, loopStyle2));
  }
}

TEST(WorkedExample, DirectivesWithAndWithoutC) {
  Settings s = defaults();
  expectSteps(s, {{" #IF X", tabs(1) + "#IF X", 0},
                  {" MOVE 1 TO X", tabs(1) + "MOVE 1 TO X", 0},
                  {" #ENDIF", tabs(1) + "#ENDIF", 0}});
  s.cmpdir = true;
  expectSteps(s, {{" #IFDEF X", tabs(1) + "#IFDEF X", 1},
                  {" MOVE 1 TO X", tabs(2) + "MOVE 1 TO X", 1},
                  {" #ELSE", tabs(1) + "#ELSE", 1},
                  {" #ENDIF", tabs(1) + "#ENDIF", 0}});
  // In the first column a directive is a label: -C cannot see it.
  expectSteps(s, {{"#IF X", "#IF\n" + tabs(1) + "X", 0}});
}

TEST(Formatter, ContinuationCarriesOverCommentsAndEndsOnBlankLine) {
  expectSteps(defaults(), {{" IF (A = 1)", tabs(1) + "IF (A = 1)", 1},
                           {" MOVE A TO B:", tabs(2) + "MOVE A TO B:", 1},
                           {"* between", "* between", 1},
                           {"", "", 1},
                           {"   C:  ", tabs(3) + "C:  ", 1},
                           {"\t D", tabs(3) + "D", 1},
                           {" CALL X:", tabs(2) + "CALL X:", 1},
                           {"     ", tabs(3), 1},
                           {" ENDIF", tabs(1) + "ENDIF", 0}});
  // A continuation after a declaration is indented past the data column.
  expectSteps(defaults(),
              {{"LIST1 LIST A:", "LIST1" + tabs(2) + "LIST A:", 0}, {" B", tabs(4) + "B", 0}});
}

TEST(Formatter, KeptTabsBeforePoint) {
  expectSteps(defaults(), {{"\t.member", tabs(1) + " \t.member", 0},
                           {" MOVE\tA\t.B\tC", tabs(1) + "MOVE A\t.B C", 0},
                           {".\tdot line\t", ".\tdot line\t", 0}});
  Settings wide = defaults();
  wide.spcswt = false;
  expectSteps(wide, {{"\t.member", tabs(2) + "\t.member", 0}});
}

TEST(Formatter, BlankAndLabelOnlyLines) {
  expectSteps(defaults(), {{"", "", 0},
                           {"      ", "", 0},
                           {"LABEL1   ", "LABEL1", 0},
                           {"+plus line  ", "+plus line  ", 0},
                           {"LBL\t\t", "LBL", 0}});
  // A control byte is not blank: it stands where the verb would be.
  expectSteps(defaults(), {{"LBL \x01X", "LBL\n\t \x01X", 0}});
}

TEST(Formatter, UnbalancedBlocksHoldDepthAtZero) {
  expectSteps(defaults(), {{" ENDIF", tabs(1) + "ENDIF", 0},
                           {" ENDSWITCH", tabs(1) + "ENDSWITCH", 0},
                           {" REPEAT", tabs(1) + "REPEAT", 0},
                           {" IF A", tabs(1) + "IF A", 1},
                           {" IF B", tabs(2) + "IF B", 2},
                           {" LOOP", tabs(3) + "LOOP", 3}});
}

TEST(Formatter, LabelTabArithmetic) {
  expectSteps(defaults(), {{"ABCDEFGHIJKLMNO DIM 5", "ABCDEFGHIJKLMNO DIM 5", 0},
                           {"ABCDEFGHIJKLMN DIM 5", "ABCDEFGHIJKLMN" + tabs(1) + "DIM 5", 0},
                           {"ABCD GDIM 5", "ABCD" + tabs(3) + "GDIM 5", 0},
                           {"ABCDE ROUTINE", "ABCDE ROUTINE", 0},
                           {"A LROUTINE X", "A" + tabs(1) + "LROUTINE X", 0},
                           {"REC RECORD", "REC" + tabs(3) + "RECORD", 0},
                           {"X RECORDEND", "X" + tabs(3) + "RECORDEND", 0}});
  Settings s = defaults();
  s.tabstop = 8;
  s.ntabs = 2;
  expectSteps(s, {{"AB FORM 2", "AB" + tabs(2) + "FORM 2", 0},
                  {"ABCDEFGH FORM 2", "ABCDEFGH" + tabs(1) + "FORM 2", 0}});
}

TEST(Formatter, IndentationAsSpacesWhenLevelsAndTabStopsDiffer) {
  Settings s = defaults();
  s.ininc = 3;
  s.tabstop = 8;
  expectSteps(s, {{" IF A", "\tIF A", 1},
                  {" LOOP", "\t   LOOP", 2},
                  {" MOVE A TO B", "\t      MOVE A TO B", 2},
                  {"L DIM 1", "L" + tabs(3) + "DIM 1", 2}});
}

TEST(Formatter, WideSeparatorOnlyWithOperands) {
  Settings s = defaults();
  s.spcswt = false;
  expectSteps(s, {{" MOVE A TO B", "\tMOVE\tA TO B", 0},
                  {" RETURN", "\tRETURN", 0},
                  {" RETURN   ", "\tRETURN", 0}});
}

TEST(Formatter, KillDebugDropsLineAndKeepsState) {
  Settings s = defaults();
  s.kill_dbg = KillDebug::kRemove;
  testkit::Capture cap;
  Formatter f(s, cap.file());
  std::string line = " IF A";
  f.process(line, 1);
  line = "LBL DEBUG X:";
  EXPECT_EQ(f.process(line, 2), 0);
  EXPECT_EQ(f.indepth, 1);
  EXPECT_FALSE(f.cont);
  // The removed statement's continuation is a statement of its own.
  line = "   MORE";
  EXPECT_EQ(f.process(line, 3), 1);
  EXPECT_EQ(f.outline(), tabs(2) + "MORE");
  EXPECT_EQ(cap.text(), "");

  // Without -K, DEBUG is an ordinary statement.
  Formatter keep(defaults(), cap.file());
  line = " debug x";
  EXPECT_EQ(keep.process(line, 1), 1);
  EXPECT_EQ(keep.outline(), "\tdebug x");
}

TEST(Formatter, KillDebugVerboseReportsHistory) {
  Settings s = defaults();
  s.kill_dbg = KillDebug::kReport;
  testkit::Capture cap;
  Formatter f(s, cap.file());
  long long n = 0;
  for (std::string line : {" MOVE\tA TO B", "", " DEBUG\tFIRST"}) {
    f.process(line, ++n);
    f.remember(line);
  }
  EXPECT_EQ(cap.text(), "------\nDebug removed @ line 3\n MOVE A TO B\n DEBUG FIRST\n");
  for (std::string line : {"* c", " ADD 1 TO X", " SUB 1 FROM X", " DEBUG 2"}) {
    f.process(line, ++n);
    f.remember(line);
  }
  EXPECT_EQ(cap.text(),
            "------\nDebug removed @ line 3\n MOVE A TO B\n DEBUG FIRST\n"
            "------\nDebug removed @ line 7\n DEBUG FIRST\n* c\n ADD 1 TO X\n SUB 1 FROM X\n"
            " DEBUG 2\n");
}

TEST(Formatter, LongLinesAreCutAtTheLimit) {
  Settings s = defaults();
  testkit::Capture cap;
  Formatter f(s, cap.file());
  f.indepth = 5000;
  std::string line = " MOVE " + std::string(990, 'A') + ":";
  f.process(line, 1);
  EXPECT_EQ(f.outline().size(), kLineMax);
  EXPECT_EQ(f.outline(), tabs(1000));
  // The cut part still decides the continuation.
  EXPECT_TRUE(f.cont);
  f.indepth = 10;
  line = " MOVE " + std::string(994, 'B');
  f.process(line, 2);
  EXPECT_EQ(f.outline().size(), kLineMax);
  EXPECT_EQ(f.outline().substr(0, 7), "\t\t\t\t\t\t\t");
}

TEST(Nomore, OnlySpacesAreBlank) {
  for (const auto& [line, blank] : {std::pair{"", 1}, {"   ", 1}, {" \t", 0}, {" x ", 0}})
    EXPECT_EQ(nomore(line), blank) << "[" << line << "]";
}

}  // namespace
}  // namespace dbc::dbtidy
