#include "platform/dbcsort/options.hpp"

#include <cstdint>
#include <limits>

namespace dbc::dbcsort {

namespace {

// A decimal number made of digits only, within `limit`.
std::optional<std::size_t> parseNumber(const std::string& s, std::size_t limit) {
  if (s.empty() || s.size() > 19) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > limit) return std::nullopt;
  return static_cast<std::size_t>(v);
}

std::optional<KeySpec> parseRange(const std::string& s) {
  std::size_t dash = s.find('-');
  if (dash == std::string::npos) return std::nullopt;
  auto first = parseNumber(s.substr(0, dash), kMaxKeyColumn);
  auto last = parseNumber(s.substr(dash + 1), kMaxKeyColumn);
  if (!first || !last || *first < 1 || *last < *first) return std::nullopt;
  return KeySpec{*first, *last};
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args) {
  if (args.size() < 4) return std::nullopt;
  Options o;
  o.infile = args[0];
  o.outfile = args[1];
  if (o.infile.empty() || o.outfile.empty()) return std::nullopt;
  auto range = parseRange(args[2]);
  if (!range) return std::nullopt;
  o.key = *range;
  bool haveForm = false;
  bool haveMax = false;
  for (std::size_t i = 3; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-T" || a == "-t" || a == "-C" || a == "-c") {
      if (haveForm) return std::nullopt;
      haveForm = true;
      o.form = (a == "-T" || a == "-t") ? Form::kText : Form::kCompressed;
    } else if (a.size() > 3 && (a.compare(0, 3, "-M=") == 0 || a.compare(0, 3, "-m=") == 0)) {
      if (haveMax) return std::nullopt;
      auto m = parseNumber(a.substr(3), std::numeric_limits<std::uint32_t>::max());
      if (!m || *m == 0) return std::nullopt;
      haveMax = true;
      o.maxRecord = *m;
    } else {
      return std::nullopt;
    }
  }
  if (!haveForm) return std::nullopt;
  return o;
}

std::optional<std::size_t> parseThreads(const std::string& text) {
  auto n = parseNumber(text, std::numeric_limits<std::uint32_t>::max());
  if (!n || *n == 0) return std::nullopt;
  return n;
}

std::optional<std::size_t> parseSize(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::string digits = text;
  int shift = 0;
  switch (digits.back()) {
    case 'k':
    case 'K':
      shift = 10;
      break;
    case 'm':
    case 'M':
      shift = 20;
      break;
    case 'g':
    case 'G':
      shift = 30;
      break;
    default:
      break;
  }
  if (shift != 0) digits.pop_back();
  const std::size_t limit = std::numeric_limits<std::size_t>::max() >> 31;
  auto v = parseNumber(digits, limit);
  if (!v || *v == 0) return std::nullopt;
  return *v << shift;
}

}  // namespace dbc::dbcsort
