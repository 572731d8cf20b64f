#include "dbtidy/classify.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

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

// Every word of the tables and its near misses: case, a "G" before it, every prefix, longer
// words, one letter changed, words past the hash's 16 bytes, directives, bytes outside ASCII.
std::vector<std::string> wordsAndNearMisses() {
  const char* const words[] = {
      "EQU",      "EQUATE",    "DEFINE",   "LIST",  "VARLIST", "VERB",      "CVERB",     "CHAR",
      "DIM",      "CHARACTER", "INIT",     "NUM",   "VAR",     "INTEGER",   "FLOAT",     "FORM",
      "NUMBER",   "INT",       "RECORD",   "FILE",  "IFILE",   "AFILE",     "PFILE",     "COMFILE",
      "DEVICE",   "RESOURCE",  "IMAGE",    "QUEUE", "LABEL",   "OBJECT",    "METHOD",    "CLASS",
      "EXTERNAL", "ROUTINE",   "LROUTINE", "IF",    "ELSE",    "ENDIF",     "LOOP",      "REPEAT",
      "WHILE",    "UNTIL",     "CONTINUE", "BREAK", "LISTEND", "RECORDEND", "CASE",      "DEFAULT",
      "SWITCH",   "ENDSWITCH", "FOR",      "DEBUG", "#ENDIF",  "#ELSE",     "#IF",       "#IFDEF",
      "MOVE",     "G",         "GG",       "",      "#I",      "#",         "RECORDENDX"};
  std::vector<std::string> out;
  for (std::string w : words) {
    for (const std::string& v : {w, "G" + w, "GG" + w, w + "G"}) {
      out.push_back(v);
      std::string lower = v;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      out.push_back(lower);
      if (!v.empty()) out.push_back(lower.substr(0, 1) + v.substr(1));
      for (std::size_t i = 0; i < v.size(); ++i) {
        out.push_back(v.substr(0, i));
        std::string changed = v;
        changed[i] = static_cast<char>(changed[i] ^ 0x20);  // the other case, or no letter at all
        out.push_back(changed);
        changed[i] = static_cast<char>(v[i] + 1);
        out.push_back(changed);
      }
      for (const char* tail : {"S", "1", ":", "(A)", "XXXXXXXXXXXXXXXX", "\xE9"})
        out.push_back(v + tail);
      out.push_back(v + std::string(1, '\0'));
    }
  }
  std::mt19937 rng(21);
  for (int i = 0; i < 20000; ++i) {
    std::string w(rng() % 20, ' ');
    for (char& c : w)
      c = static_cast<char>("GIFDMEOLSCRNTU#gifdmeolscrntu\x80\xff{`@["[rng() % 34]);
    out.push_back(w);
  }
  return out;
}

TEST(Evalverb, HashedLookUpAgreesWithThePlainTables) {
  const std::vector<std::string> words = wordsAndNearMisses();
  for (int options = 0; options < 8; ++options) {
    Settings s;
    s.lblsplit = options & 1;
    s.loopswt = options & 2;
    s.cmpdir = options & 4;
    Classifier c(s, nullptr);
    for (const std::string& w : words) {
      const VerbClass expected = plainClass(w, s);
      // The key as the formatter takes it, from a verb with a line's room behind it.
      std::string inLine = w + std::string(16, '\x5A');
      ASSERT_EQ(verbKeyInLine(inLine.data(), w.size()), verbKeyScalar(w.data(), w.size())) << w;
      const VerbClass got = c.lookup(w);
      ASSERT_EQ(static_cast<int>(got.cls), static_cast<int>(expected.cls))
          << "[" << w << "] options " << options;
      ASSERT_EQ(static_cast<int>(got.placement), static_cast<int>(expected.placement))
          << "[" << w << "] options " << options;
      c.evalverbInLine(std::string_view(inLine.data(), w.size()));
      ASSERT_TRUE(c.verbswt == expected.cls && c.splitswt == expected.placement) << w;
    }
  }
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
