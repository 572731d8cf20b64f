#include "dbtidy/classify.hpp"

#include <gtest/gtest.h>

#include "testkit/capture.hpp"

namespace dbc::dbtidy {
namespace {

struct Case {
  const char* verb;
  int verbswt;
  int splitswt;
};

void expectCases(const Settings& s, std::initializer_list<Case> cases) {
  testkit::Capture cap;
  Classifier c(s, cap.file());
  for (const Case& k : cases) {
    c.evalverb(k.verb);
    EXPECT_EQ(static_cast<int>(c.verbswt), k.verbswt) << k.verb;
    EXPECT_EQ(static_cast<int>(c.splitswt), k.splitswt) << k.verb;
  }
}

TEST(Evalverb, BlockClassesAndPlacementsByDefault) {
  expectCases(Settings{},
              {{"if", 1, 0},        {"If", 1, 0},       {"IF(A=B)", 0, 0}, {"ELSE", 3, 0},
               {"endif", 2, 0},     {"LOOP", 1, 0},     {"REPEAT", 2, 0},  {"WHILE", 0, 0},
               {"UNTIL", 0, 0},     {"CONTINUE", 0, 0}, {"BREAK", 0, 0},   {"LISTEND", 6, 0},
               {"RECORDEND", 6, 0}, {"CASE", 3, 0},     {"DEFAULT", 3, 0}, {"SWITCH", 4, 0},
               {"ENDSWITCH", 5, 0}, {"FOR", 1, 0},      {"DEBUG", 7, 0},   {"#IF", 0, 0},
               {"#IFDEF", 0, 0},    {"#ELSE", 0, 0},    {"#ENDIF", 0, 0},  {"MOVE", 0, 0},
               {"", 0, 0}});
}

TEST(Evalverb, DeclarationsWithOrWithoutG) {
  expectCases(Settings{}, {{"DIM", 0, 1},
                           {"gdim", 0, 1},
                           {"GFORM", 0, 1},
                           {"GLIST", 0, 1},
                           {"external", 0, 1},
                           {"EQU", 0, 1},
                           {"GGDIM", 0, 0},
                           {"GIF", 0, 0},
                           {"G", 0, 0},
                           {"ROUTINE", 0, 2},
                           {"GLROUTINE", 0, 2},
                           {"DIMS", 0, 0},
                           {"RECORD", 0, 1},
                           {"FILE", 0, 1},
                           {"IFILE", 0, 1}});
}

TEST(Evalverb, OptionsSwitchTheConditionalRows) {
  Settings s;
  s.loopswt = true;
  s.cmpdir = true;
  expectCases(s, {{"while", 3, 0},
                  {"UNTIL", 3, 0},
                  {"CONTINUE", 3, 0},
                  {"BREAK", 3, 0},
                  {"#IF", 1, 0},
                  {"#ifndef", 1, 0},
                  {"#IFX", 1, 0},
                  {"#ELSE", 3, 0},
                  {"#ENDIF", 2, 0},
                  {"#ELSEIF", 0, 0}});
  Settings l;
  l.lblsplit = true;
  expectCases(l, {{"MOVE", 0, 1}, {"IF", 1, 1}, {"ROUTINE", 0, 2}, {"GROUTINE", 0, 2}});
}

TEST(Evalverb, VerboseTrace) {
  Settings s;
  s.verbose = true;
  testkit::Capture cap;
  Classifier c(s, cap.file());
  c.evalverb("dim");
  c.evalverb("Endif");
  EXPECT_EQ(cap.text(), "Verb[DIM][0][1]\nVerb[ENDIF][2][0]\n");
  EXPECT_EQ(c.xverb(), "ENDIF");
}

}  // namespace
}  // namespace dbc::dbtidy
