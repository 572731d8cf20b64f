// The documentation and the sample installation it relies on, as a reader gets them. Every manual
// page has the sections a reader looks for and passes mandoc's lint with nothing above a style
// note (mandoc is a real outside program: CI installs it, .ci/needs/docs; a developer's machine
// without it skips the lint with a message). Every command that a page's EXAMPLES or README.md
// shows after a "$ " prompt runs here on a fresh copy of examples/, as a reader types it with the
// sample's settings in the environment, and must end with status 0 and print what is shown. The
// sample's indexes are rebuilt from its data file by the test kit's writer and compared byte for
// byte, so they are no opaque bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testkit/examples.hpp"
#include "testkit/files.hpp"
#include "testkit/isam.hpp"
#include "testkit/runner.hpp"

namespace {

namespace fs = std::filesystem;

std::string source(const std::string& rel) { return std::string(DBC_SOURCE_DIR) + "/" + rel; }

// A copy of the sample installation, and the settings its README asks a reader to make.
struct Sample {
  testkit::TempDir dir;
  std::map<std::string, std::string> env;
  Sample() {
    fs::copy(source("examples"), dir.path(), fs::copy_options::recursive);
    env = {{"DBC_CFG", dir.file("dbc.cfg")},
           {"DBC_ENVFILE", dir.file("dbc.env")},
           {"QLON_ROOT", dir.file("qlon")},
           {"HOME", dir.path()},
           {"LC_ALL", "C"}};
  }
  testkit::RunResult sh(const std::string& script) {
    return testkit::run({"/bin/sh", {"-c", "exec 2>&1\n" + script}, env, dir.path(), "", 120});
  }
};

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

void runGroup(const testkit::ExampleGroup& g) {
  Sample s;
  for (const testkit::Example& e : g.examples) {
    testkit::RunResult r = s.sh(e.command);
    EXPECT_EQ(r.status, 0) << e.where << ":\n$ " << e.command << "\n" << r.out;
    if (!e.output.empty()) {
      EXPECT_TRUE(testkit::outputMatches(e.output, r.out))
          << e.where << ":\n$ " << e.command << "\n--- shown:\n"
          << joined(e.output) << "--- printed:\n"
          << r.out;
    }
  }
}

std::vector<std::string> manualPages() {
  std::vector<std::string> pages;
  for (const auto& f : fs::directory_iterator(source("man"))) pages.push_back(f.path().filename());
  std::sort(pages.begin(), pages.end());
  return pages;
}

// The section headings of a page, in order.
std::vector<std::string> sections(const std::string& roff) {
  std::vector<std::string> found;
  std::istringstream in(roff);
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with(".SH ")) continue;
    std::string name = line.substr(4);
    name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    found.push_back(name);
  }
  return found;
}

class ManualPage : public testing::TestWithParam<std::string> {
 protected:
  std::string page() const { return testkit::readFile(source("man/" + GetParam())); }
};

TEST_P(ManualPage, HasTheSectionsAReaderLooksFor) {
  std::vector<std::string> have = sections(page());
  std::vector<std::string> want = {"NAME",  "SYNOPSIS", "DESCRIPTION", "ENVIRONMENT",
                                   "FILES", "EXAMPLES", "SEE ALSO"};
  // A command has options and an exit status; a file format has neither.
  if (GetParam().ends_with(".1")) want.insert(want.begin() + 3, {"OPTIONS", "EXIT STATUS"});
  for (const auto& w : want) {
    EXPECT_NE(std::find(have.begin(), have.end(), w), have.end()) << GetParam() << ": no " << w;
  }
  ASSERT_FALSE(have.empty());
  EXPECT_EQ(have.front(), "NAME");
  EXPECT_EQ(have.back(), "SEE ALSO");
}

TEST_P(ManualPage, LintsClean) {
  testkit::Command c;
  c.program = "/bin/sh";
  c.args = {"-c", "command -v mandoc >/dev/null || exit 99; exec mandoc -Tlint -W warning \"$0\"",
            source("man/" + GetParam())};
  testkit::RunResult r = testkit::run(c);
  if (r.status == 99) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") FAIL() << "mandoc is not installed";
    GTEST_SKIP() << "mandoc is not installed (Debian package mandoc): the pages are not linted";
  }
  EXPECT_EQ(r.out + r.err, "") << GetParam();
  EXPECT_EQ(r.status, 0) << GetParam();
}

TEST_P(ManualPage, ExamplesRunOnTheSampleAsShown) {
  std::vector<std::string> problems;
  testkit::ExampleGroup g = testkit::manExamples(page(), GetParam(), problems);
  EXPECT_EQ(joined(problems), "");
  ASSERT_FALSE(g.examples.empty()) << GetParam() << " shows no command in its EXAMPLES";
  runGroup(g);
}

INSTANTIATE_TEST_SUITE_P(Pages, ManualPage, testing::ValuesIn(manualPages()),
                         [](const testing::TestParamInfo<std::string>& p) {
                           std::string n = p.param;
                           for (char& ch : n) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return n;
                         });

TEST(ReadmeExamples, RunOnTheSampleAsShown) {
  std::vector<std::string> problems;
  std::vector<testkit::ExampleGroup> groups =
      testkit::markdownExamples(testkit::readFile(source("README.md")), "README.md", problems);
  EXPECT_EQ(joined(problems), "");
  // Every prompt in the file is one of the commands run, wherever it stands.
  std::size_t prompts = 0, commands = 0;
  std::istringstream text(testkit::readFile(source("README.md")));
  for (std::string line; std::getline(text, line);) {
    prompts += line.find_first_not_of(' ') != std::string::npos &&
               line.compare(line.find_first_not_of(' '), 2, "$ ") == 0;
  }
  for (const auto& g : groups) commands += g.examples.size();
  EXPECT_EQ(commands, prompts);
  for (const auto& g : groups) {
    SCOPED_TRACE(g.where);
    runGroup(g);
  }
}

// The sample's two indexes over data/ORDERS.TXT: ORDERS on the order number, in step with the
// data; ORDCUST on customer and order number, with one stale entry: order ORD00007 was moved from
// customer CUST0002 to CUST0004 without its entry. Leaves of four entries make two-level trees.
TEST(SampleInstallation, IndexesAreTheTreesOfTheOrdersFile) {
  constexpr std::size_t kLen = 36;
  std::string data = testkit::readFile(source("examples/data/ORDERS.TXT"));
  std::vector<testkit::IsamEntry> byOrder, byCustomer;
  for (std::size_t pos = 0; pos + kLen < data.size(); pos += kLen + 1) {
    ASSERT_EQ(data[pos + kLen], '\xFA') << "record at " << pos;
    std::string order = data.substr(pos, 8), customer = data.substr(pos + 9, 8);
    if (order == "ORD00007") customer = "CUST0002";
    byOrder.push_back({order, pos});
    byCustomer.push_back({customer + order, pos});
  }
  ASSERT_EQ(byOrder.size(), 12u);
  auto byKey = [](const testkit::IsamEntry& a, const testkit::IsamEntry& b) {
    return a.key < b.key;
  };
  std::sort(byOrder.begin(), byOrder.end(), byKey);
  std::sort(byCustomer.begin(), byCustomer.end(), byKey);
  const struct {
    const char* name;
    const char* segments;
    const std::vector<testkit::IsamEntry>& entries;
  } indexes[] = {{"ORDERS.ISI", "1-8", byOrder}, {"ORDCUST.ISI", "10-17 1-8", byCustomer}};
  for (const auto& ix : indexes) {
    testkit::IsamFile f({"ORDERS", ix.segments, 1024, static_cast<int>(kLen), 'I', false});
    f.tree(ix.entries, 4);
    std::string path = source(std::string("examples/data/") + ix.name);
    // After a deliberate change of the sample: DBC_WRITE_SAMPLE_INDEXES=1 ctest -R
    // SampleInstallation
    if (std::getenv("DBC_WRITE_SAMPLE_INDEXES")) testkit::writeFile(path, f.bytes());
    EXPECT_TRUE(testkit::exists(path) && testkit::readFile(path) == f.bytes())
        << path << " is not the index of data/ORDERS.TXT";
  }
}

}  // namespace
