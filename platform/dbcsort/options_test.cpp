#include "platform/dbcsort/options.hpp"

#include <gtest/gtest.h>

#include "platform/dbcsort/budget.hpp"

namespace dbc::dbcsort {
namespace {

TEST(Options, TheTagBuildersCommandLines) {
  auto t = parseOptions({"in.tag", "out.srt", "25-56", "-T", "-M=76"});
  ASSERT_TRUE(t);
  EXPECT_EQ(t->infile, "in.tag");
  EXPECT_EQ(t->outfile, "out.srt");
  EXPECT_EQ(t->key.first, 25u);
  EXPECT_EQ(t->key.last, 56u);
  EXPECT_EQ(t->form, Form::kText);
  EXPECT_EQ(t->maxRecord, 76u);
  auto c = parseOptions({"a", "b", "25-40", "-C", "-M=44"});
  ASSERT_TRUE(c);
  EXPECT_EQ(c->form, Form::kCompressed);
  EXPECT_TRUE(parseOptions({"a", "b", "1-1", "-M=5", "-C"}));
  EXPECT_TRUE(parseOptions({"a", "b", "25-56", "-T"}));
}

TEST(Options, WrongCommandLines) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"a", "b", "25-56"},
           {"a", "b", "25-56", "-X"},
           {"a", "b", "25", "-T"},
           {"a", "b", "0-5", "-T"},
           {"a", "b", "9-5", "-T"},
           {"a", "b", "-5", "-T"},
           {"a", "b", "25-x", "-T"},
           {"a", "b", "1-65536", "-T"},
           {"a", "b", "25-56", "-T", "-C"},
           {"a", "b", "25-56", "-T", "-M="},
           {"a", "b", "25-56", "-T", "-M=0"},
           {"a", "b", "25-56", "-T", "-M=12x"},
           {"", "b", "25-56", "-T"},
       }) {
    EXPECT_FALSE(parseOptions(args)) << ::testing::PrintToString(args);
  }
}

TEST(Options, Sizes) {
  EXPECT_EQ(parseSize("64M"), std::size_t{64} << 20);
  EXPECT_EQ(parseSize("20k"), std::size_t{20} << 10);
  EXPECT_EQ(parseSize("2G"), std::size_t{2} << 30);
  EXPECT_EQ(parseSize("12345"), 12345u);
  EXPECT_FALSE(parseSize(""));
  EXPECT_FALSE(parseSize("M"));
  EXPECT_FALSE(parseSize("0"));
  EXPECT_FALSE(parseSize("-5M"));
  EXPECT_FALSE(parseSize("5MB"));
  EXPECT_FALSE(parseSize("99999999999999999999"));
}

TEST(Budget, PartsStayWithinTheWhole) {
  for (std::size_t total : {std::size_t{1}, kMinBudget, std::size_t{100000}, std::size_t{64} << 20,
                            kDefaultBudget, std::size_t{8} << 30}) {
    Budget b = Budget::of(total);
    EXPECT_GE(b.total, kMinBudget);
    EXPECT_LE(b.arena + 2 * b.ioBuffer, b.total);
    EXPECT_LE(b.fanIn * b.mergeBuffer + b.ioBuffer, b.total);
    EXPECT_GE(b.fanIn, 2u);
  }
}

}  // namespace
}  // namespace dbc::dbcsort
