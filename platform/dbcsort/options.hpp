// The command line of DBCSORT and the memory budget it may use.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace dbc::dbcsort {

// The two forms of input the tag builders hand over.
enum class Form {
  kText,        // -T: lines ended by a line feed
  kCompressed,  // -C: compressed DB/C records ended by 0xFA (or a line feed), file ended by 0xFB
};

// Columns of the decoded record that form the key, 1-based and inclusive.
struct KeySpec {
  std::size_t first = 1;
  std::size_t last = 1;
  std::size_t width() const { return last - first + 1; }
};

// The widest key accepted; each compressed record in memory carries a decoded copy of its key.
inline constexpr std::size_t kMaxKeyColumn = 65535;

struct Options {
  std::string infile;
  std::string outfile;
  KeySpec key;
  Form form = Form::kText;
  std::size_t maxRecord = 0;  // -M=m: longest record expected; 0 when not given
};

inline constexpr const char* kUsage =
    "Usage: DBCSORT infile outfile first-last -T|-C [-M=maxrecord]\n";

// The options of `args` (argv[1..]), or nothing when the command line is wrong.
std::optional<Options> parseOptions(const std::vector<std::string>& args);

// A size such as "1048576", "512K", "64M" or "2G" (binary multiples, either case), or nothing.
std::optional<std::size_t> parseSize(const std::string& text);

// A number of threads: a whole number from 1 up, digits only, or nothing.
std::optional<std::size_t> parseThreads(const std::string& text);

// The default budget when DBCSORT_MEMORY is not set, and the least budget honoured.
inline constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;
inline constexpr std::size_t kMinBudget = std::size_t{16} << 10;

}  // namespace dbc::dbcsort
