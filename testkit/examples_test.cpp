#include "testkit/examples.hpp"

#include <gtest/gtest.h>

namespace testkit {
namespace {

TEST(RoffTextTest, EscapesBecomeWhatTheReaderSees) {
  std::string problem;
  EXPECT_EQ(roffText(R"(recscan CUST \-s | awk '{ print $5 }' \e\\ \&.x \(aq\(dq\(ti\(ha\(ga\(rs)",
                     &problem),
            R"(recscan CUST -s | awk '{ print $5 }' \\ .x '"~^`\)");
  EXPECT_EQ(roffText(R"(\fBrecscan\fP \fIfile\fR a\ b)", &problem), "recscan file a b");
  EXPECT_EQ(problem, "");
  // A string or glyph the test cannot know would run a command the reader never sees.
  roffText(R"(echo \*(Tm)", &problem);
  EXPECT_NE(problem, "");
  problem.clear();
  roffText(R"(echo \(bu)", &problem);
  EXPECT_NE(problem, "");
}

TEST(ManExamplesTest, CommandsContinuationsAndOutputOfTheExamplesSectionOnly) {
  const char* page =
      ".SH DESCRIPTION\n"
      ".EX\n$ not an example\n.EE\n"
      ".SH EXAMPLES\n"
      "Some prose with $ signs.\n"
      ".EX\n"
      "$ recscan CUST \\-s\n"
      "CUST.TXT 6 ...\n"
      "$ if true; then\n"
      "> echo yes; fi\n"
      "yes\n"
      "\n"
      ".EE\n"
      ".PP\n.nf\n.RS\n$ seqnext\n.RE\n.fi\n"
      ".SH SEE ALSO\n.EX\n$ not this either\n.EE\n";
  std::vector<std::string> problems;
  ExampleGroup g = manExamples(page, "x.1", problems);
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(g.examples.size(), 3u);
  EXPECT_EQ(g.examples[0].command, "recscan CUST -s");
  EXPECT_EQ(g.examples[0].where, "x.1:8");
  EXPECT_EQ(g.examples[0].output, std::vector<std::string>{"CUST.TXT 6 ..."});
  EXPECT_EQ(g.examples[1].command, "if true; then\necho yes; fi");
  EXPECT_EQ(g.examples[1].output, std::vector<std::string>{"yes"});
  EXPECT_EQ(g.examples[2].command, "seqnext");
  EXPECT_TRUE(g.examples[2].output.empty());
}

TEST(ManExamplesTest, ABlockLineBeforeAnyCommandIsReported) {
  std::vector<std::string> problems;
  ExampleGroup g = manExamples(".SH EXAMPLES\n.EX\nrecscan CUST\n$ seqnext\n.EE\n.EX\nout\n.EE\n",
                               "x.1", problems);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("x.1:3"), std::string::npos);
  EXPECT_NE(problems[1].find("x.1:7"), std::string::npos);  // a new block starts afresh
  EXPECT_EQ(g.examples.size(), 1u);
}

TEST(MarkdownExamplesTest, IndentedAndFencedBlocksThatShowACommand) {
  const char* md =
      "# Title\n\n"
      "    recscan FILE [-f1]\n\n"  // a synopsis: no prompt, not an example
      "Text:\n\n"
      "    $ recscan CUST\n"
      "    line one\n"
      "\n"
      "    line three\n"
      "    $ jrnmake x |\n"
      "    > wc -l\n\n"
      "More text.\n\n"
      "- an item:\n\n"
      "      $ recscan CUST -s\n"
      "      CUST.TXT 6\n\n"
      "```sh\n$ seqnext\n```\n"
      "    indented after text is no block\n";
  std::vector<std::string> problems;
  std::vector<ExampleGroup> groups = markdownExamples(md, "README.md", problems);
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(groups.size(), 3u);
  ASSERT_EQ(groups[0].examples.size(), 2u);
  EXPECT_EQ(groups[0].examples[0].where, "README.md:7");
  EXPECT_EQ(groups[0].examples[0].output, (std::vector<std::string>{"line one", "", "line three"}));
  EXPECT_EQ(groups[0].examples[1].command, "jrnmake x |\nwc -l");
  ASSERT_EQ(groups[1].examples.size(), 1u);
  EXPECT_EQ(groups[1].examples[0].command, "recscan CUST -s");
  EXPECT_EQ(groups[1].examples[0].output, std::vector<std::string>{"CUST.TXT 6"});
  ASSERT_EQ(groups[2].examples.size(), 1u);
  EXPECT_EQ(groups[2].examples[0].command, "seqnext");
}

TEST(OutputMatchesTest, LinesAsATerminalShowsThem) {
  EXPECT_TRUE(outputMatches({"a", "b"}, "a\nb\n"));
  EXPECT_TRUE(outputMatches({"a", "b"}, "a  \nb"));
  EXPECT_FALSE(outputMatches({"a", "b"}, "a\nb\nc\n"));
  EXPECT_FALSE(outputMatches({"a", "b"}, "a\n"));
  // Progress counts overwritten in place: only the last text of a line is seen.
  EXPECT_TRUE(
      outputMatches({"12 records in index file"}, "\r      1000\r12 records in index file\n"));
  EXPECT_TRUE(outputMatches({"first", "...", "last"}, "first\nx\ny\nlast\n"));
  EXPECT_TRUE(outputMatches({"first", "...", "last"}, "first\nlast\n"));
  EXPECT_FALSE(outputMatches({"first", "...", "last"}, "first\nx\n"));
  EXPECT_TRUE(outputMatches({"..."}, ""));
}

}  // namespace
}  // namespace testkit
