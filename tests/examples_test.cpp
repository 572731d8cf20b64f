// The sample installation in examples/ and the documentation that relies on it. Every command that
// a manual page's EXAMPLES section or README.md shows after a "$ " prompt runs here on a fresh copy
// of the sample, as a reader types it with the sample's settings in the environment, and must end
// with status 0 and print what the page shows. The sample's indexes are rebuilt from its data file
// by the test kit's writer and compared byte for byte, so they are no opaque bytes.
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
          << e.where << ":\n$ " << e.command << "\n--- shown:\n" << joined(e.output)
          << "--- printed:\n" << r.out;
    }
  }
}

std::vector<std::string> manualPages() {
  std::vector<std::string> pages;
  for (const auto& f : fs::directory_iterator(source("man"))) pages.push_back(f.path().filename());
  std::sort(pages.begin(), pages.end());
  return pages;
}

class ManualPageExamples : public testing::TestWithParam<std::string> {};

TEST_P(ManualPageExamples, RunOnTheSampleAsShown) {
  std::vector<std::string> problems;
  testkit::ExampleGroup g =
      testkit::manExamples(testkit::readFile(source("man/" + GetParam())), GetParam(), problems);
  EXPECT_EQ(joined(problems), "");
  ASSERT_FALSE(g.examples.empty()) << GetParam() << " shows no command in its EXAMPLES";
  runGroup(g);
}

INSTANTIATE_TEST_SUITE_P(Pages, ManualPageExamples, testing::ValuesIn(manualPages()),
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
  auto byKey = [](const testkit::IsamEntry& a, const testkit::IsamEntry& b) { return a.key < b.key; };
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
    // After a deliberate change of the sample: DBC_WRITE_SAMPLE_INDEXES=1 ctest -R SampleInstallation
    if (std::getenv("DBC_WRITE_SAMPLE_INDEXES")) testkit::writeFile(path, f.bytes());
    EXPECT_TRUE(testkit::exists(path) && testkit::readFile(path) == f.bytes())
        << path << " is not the index of data/ORDERS.TXT";
  }
}

}  // namespace
