#include "platform/dbcsort/options.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

TEST(Budget, PartsStayWithinTheWholeWhateverTheThreads) {
  for (std::size_t total : {std::size_t{1}, kMinBudget, std::size_t{100000}, std::size_t{1} << 20,
                            std::size_t{64} << 20, kDefaultBudget, std::size_t{8} << 30}) {
    for (std::size_t threads : {1, 2, 3, 7, 16, 64, 1000}) {
      SCOPED_TRACE(std::to_string(total) + " bytes, " + std::to_string(threads) + " threads");
      Budget b = Budget::of(total, threads);
      EXPECT_GE(b.total, kMinBudget);
      EXPECT_GE(b.threads, 1u);
      EXPECT_LE(b.threads, std::min(threads, kMaxThreads));
      // While runs are made: the input's buffer, and each thread's chunk and run writer.
      EXPECT_LE(b.chunks * b.chunk + (b.threads + 1) * b.ioBuffer, b.total);
      EXPECT_EQ(b.chunks, b.threads == 1 ? 1 : b.threads + 1);
      EXPECT_LE(b.fanIn * b.mergeBuffer + b.ioBuffer, b.total);
      EXPECT_GE(b.fanIn, 2u);
      // Merges side by side share the merge buffers; their writers get at least the least size.
      for (std::size_t merges : {1, 2, 5, 64}) {
        const std::size_t n = b.mergesAtOnce(merges);
        EXPECT_GE(n, 1u);
        EXPECT_LE(n, std::min(merges, b.threads));
        EXPECT_LE(n * b.fanIn * Budget::share(b.mergeBuffer, n), b.total - b.ioBuffer);
      }
    }
    // One thread gets the chunk a sort had before it had threads: all but two buffers.
    Budget one = Budget::of(total, 1);
    EXPECT_EQ(one.chunk, std::min<std::size_t>(one.total - 2 * one.ioBuffer, UINT32_MAX));
  }
  // A small budget is not cut into chunks too small to be worth a thread.
  EXPECT_EQ(Budget::of(kMinBudget, 8).threads, 1u);
  EXPECT_EQ(Budget::of(std::size_t{1} << 20, 7).threads, 7u);
  EXPECT_EQ(Budget::of(kDefaultBudget, 16).threads, 16u);
}

TEST(Options, ThreadCounts) {
  EXPECT_EQ(parseThreads("1"), 1u);
  EXPECT_EQ(parseThreads("16"), 16u);
  EXPECT_EQ(parseThreads("0016"), 16u);
  EXPECT_EQ(parseThreads("4096"), 4096u);  // more than the machine has: the budget cuts it down
  for (const char* bad : {"", "0", "-2", "two", "2.5", " 2", "2 ", "99999999999"}) {
    EXPECT_FALSE(parseThreads(bad)) << bad;
  }
}

}  // namespace
}  // namespace dbc::dbcsort
