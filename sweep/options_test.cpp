#include "sweep/options.hpp"

#include <gtest/gtest.h>

namespace dbc::sweep {
namespace {

std::optional<Settings> parse(std::vector<std::string> args, std::string* why = nullptr) {
  std::string error;
  auto s = parseArgs(args, error);
  if (why != nullptr) *why = error;
  return s;
}

TEST(SweepOptions, EveryOptionInBothSpellings) {
  auto s = parse({"-j", "4", "--json", "out.json", "--data-only", "--quiet", "/a", "/b"});
  ASSERT_TRUE(s);
  EXPECT_EQ(s->jobs, 4);
  EXPECT_EQ(s->json, "out.json");
  EXPECT_EQ(s->only, Only::kData);
  EXPECT_TRUE(s->quiet);
  EXPECT_EQ(s->folders, (std::vector<std::string>{"/a", "/b"}));
  s = parse({"-j12", "--json=x", "--indexes-only"});
  ASSERT_TRUE(s);
  EXPECT_EQ(s->jobs, 12);
  EXPECT_EQ(s->json, "x");
  EXPECT_EQ(s->only, Only::kIndexes);
  EXPECT_TRUE(s->folders.empty());
  EXPECT_EQ(parse({})->jobs, 0);  // one per core, decided by the run
}

TEST(SweepOptions, AfterTwoDashesAFolderMayLookLikeAnOption) {
  auto s = parse({"--", "-j", "--quiet"});
  ASSERT_TRUE(s);
  EXPECT_EQ(s->folders, (std::vector<std::string>{"-j", "--quiet"}));
  EXPECT_FALSE(s->quiet);
}

TEST(SweepOptions, UsageErrorsSayWhat) {
  std::string why;
  for (std::vector<std::string> bad : {std::vector<std::string>{"-j"},
                                       {"-j", "0"},
                                       {"-j", "x"},
                                       {"-j2000"},
                                       {"--json"},
                                       {"--json="},
                                       {"--data-only", "--indexes-only"},
                                       {"--verbose"},
                                       {"-x", "/a"}}) {
    EXPECT_FALSE(parse(bad, &why)) << bad[0];
    EXPECT_FALSE(why.empty()) << bad[0];
  }
}

}  // namespace
}  // namespace dbc::sweep
