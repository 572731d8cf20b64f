// The manual pages as a reader gets them: each has the sections a reader looks for, and mandoc's
// lint finds nothing above a style note in any of them. mandoc is a real outside program: CI
// installs it (.ci/needs/docs); a developer's machine without it skips the lint with a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testkit/files.hpp"
#include "testkit/runner.hpp"

namespace {

namespace fs = std::filesystem;

std::string manDir() { return std::string(DBC_SOURCE_DIR) + "/man"; }

std::vector<std::string> pages() {
  std::vector<std::string> names;
  for (const auto& f : fs::directory_iterator(manDir())) names.push_back(f.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The section headings of a page, in order.
std::vector<std::string> sections(const std::string& roff) {
  std::vector<std::string> found;
  std::size_t at = 0;
  while ((at = roff.find(".SH ", at)) != std::string::npos) {
    if (at == 0 || roff[at - 1] == '\n') {
      std::size_t end = roff.find('\n', at);
      std::string name = roff.substr(at + 4, end - at - 4);
      name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
      found.push_back(name);
    }
    ++at;
  }
  return found;
}

class ManualPage : public testing::TestWithParam<std::string> {};

TEST_P(ManualPage, HasTheSectionsAReaderLooksFor) {
  std::vector<std::string> have = sections(testkit::readFile(manDir() + "/" + GetParam()));
  std::vector<std::string> want = {"NAME", "SYNOPSIS", "DESCRIPTION", "ENVIRONMENT", "FILES",
                                   "EXAMPLES", "SEE ALSO"};
  // A command has options and an exit status; a file format has neither.
  if (GetParam().ends_with(".1")) {
    want.insert(want.begin() + 3, {"OPTIONS", "EXIT STATUS"});
  }
  for (const auto& w : want) {
    EXPECT_NE(std::find(have.begin(), have.end(), w), have.end()) << GetParam() << ": no " << w;
  }
  EXPECT_EQ(have.front(), "NAME");
  EXPECT_EQ(have.back(), "SEE ALSO");
}

TEST_P(ManualPage, LintsClean) {
  testkit::Command c;
  c.program = "/bin/sh";
  c.args = {"-c", "command -v mandoc >/dev/null || exit 99; exec mandoc -Tlint -W warning \"$0\"",
            manDir() + "/" + GetParam()};
  testkit::RunResult r = testkit::run(c);
  if (r.status == 99) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") FAIL() << "mandoc is not installed";
    GTEST_SKIP() << "mandoc is not installed (Debian package mandoc): the pages are not linted";
  }
  EXPECT_EQ(r.out + r.err, "") << GetParam();
  EXPECT_EQ(r.status, 0) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Pages, ManualPage, testing::ValuesIn(pages()),
                         [](const testing::TestParamInfo<std::string>& p) {
                           std::string n = p.param;
                           for (char& ch : n) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return n;
                         });

}  // namespace
