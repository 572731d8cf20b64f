#include "recmend/options.hpp"

#include <cinttypes>
#include <cstddef>

namespace dbc::recmend {
namespace {

void printLine(FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
  std::fputc('\n', out);
}

// Values are printed whole, whatever their length.
void printLabelled(FILE* out, std::string_view label, std::string_view value) {
  std::fwrite(label.data(), 1, label.size(), out);
  std::fwrite(value.data(), 1, value.size(), out);
  std::fputc('\n', out);
}

}  // namespace

std::int64_t decimal(std::string_view digits) {
  std::int64_t v = 0;
  for (char c : digits) {
    int d = c - '0';
    if (v > (INT64_MAX - d) / 10) return INT64_MAX;
    v = v * 10 + d;
  }
  return v;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_number(std::string_view text) {
  for (char c : text) {
    if (!is_digit(c)) return false;
  }
  return true;
}

bool first_char_is(std::string_view a, std::string_view b) {
  char ca = a.empty() ? '\0' : a.front();
  char cb = b.empty() ? '\0' : b.front();
  return ca == cb;
}

bool valid_cmd(std::string_view word) {
  static constexpr std::string_view kLetters[] = {"d", "f", "h", "i", "l", "p",
                                                  "t", "u", "v", "x", "y"};
  for (std::string_view letter : kLetters) {
    if (word == letter) return true;
  }
  return false;
}

Result set_data_file(Settings& s, std::string_view value, FILE* out) {
  s.DATAFILE = value;
  printLabelled(out, "DATAFILE: ", s.DATAFILE);
  return Result::kOk;
}

Result set_input_file(Settings& s, std::string_view value, FILE* out) {
  s.INPUTFILE = value;
  printLabelled(out, "Input file: ", s.INPUTFILE);
  return Result::kOk;
}

Result set_fill_val(Settings& s, std::string_view value, FILE* out) {
  if (!is_number(value)) {
    printLine(out, "Input is not a number.");
    return Result::kFailed;
  }
  // Compared whole: a value past 32 bits must not wrap round into the printable range.
  std::int64_t v = decimal(value);
  if (v < VALID_START || v > VALID_END) {
    printLine(out, "Invalid fill value specified.");
    return Result::kFailed;
  }
  s.FILL_VALUE = static_cast<unsigned char>(v);
  std::fprintf(out, "Setting fill value to: %u (%c)\n", static_cast<unsigned>(v),
               static_cast<int>(v));
  return Result::kOk;
}

Result set_size(Settings& s, std::string_view value, FILE* out) {
  if (!is_number(value)) return Result::kFailed;  // said by the caller's "Invalid command"
  s.RECORD_SIZE = static_cast<std::uint64_t>(decimal(value));
  std::fprintf(out, "Setting record size to: %zu\n", static_cast<std::size_t>(s.RECORD_SIZE));
  return Result::kOk;
}

Result set_position(Settings& s, std::string_view value, FILE* out) {
  if (!is_number(value)) return Result::kFailed;
  s.RECORD_POSITION = decimal(value);
  s.POSITION_SET = true;
  std::fprintf(out, "Setting record position to: %zu\n",
               static_cast<std::size_t>(s.RECORD_POSITION));
  return Result::kOk;
}

void set_help(Settings& s) { s.HELP_FLAG = true; }

void set_ndxprobe(Settings& s) { s.NDXPROBE_FLAG = true; }

void set_update(Settings& s, FILE* out) {
  s.UPDATE_FLAG = true;
  printLine(out, "Update mode set.");
}

void verbose(Settings& s) { s.VERBOSE_FLAG = true; }

void set_zero_detection(Settings& s, FILE* out) {
  s.ZERO_DETECTION_FLAG = true;
  printLine(out, "Zero-detection mode set.");
}

void set_full_detection(Settings& s, FILE* out) {
  s.FULL_DETECTION_FLAG = true;
  printLine(out, "Full-detection mode set.");
}

Result parse_cmd(Settings& s, std::string_view word, const std::string* value, FILE* out) {
  std::string_view v = value ? std::string_view(*value) : std::string_view();
  switch (word.empty() ? '\0' : word.front()) {
    case 'd':
      return set_data_file(s, v, out);
    case 'f':
      return set_fill_val(s, v, out);
    case 'i':
      // Its result is not passed on: -i never fails the command line.
      set_input_file(s, v, out);
      break;
    case 'l':
      return set_size(s, v, out);
    case 'p':
      return set_position(s, v, out);
    case 'h':
      set_help(s);
      break;
    case 't':
      set_ndxprobe(s);
      break;
    case 'u':
      set_update(s, out);
      break;
    case 'v':
      verbose(s);
      break;
    case 'x':
      set_zero_detection(s, out);
      break;
    case 'y':
      set_full_detection(s, out);
      break;
    default:
      return Result::kFailed;
  }
  return Result::kOk;
}

void help_msg(FILE* out) {
  static constexpr const char* kHelp[] = {
      "Usage: recmend [-d data_file] [-f fill] [-h] [-l length] [-p position] [-u] [-v]",
      "Update unsupported characters in files.\n",
      "Mandatory arguments:",
      "\t-d data file      Input data file including file path and extension",
      "\t                  (e.g. /qlon/data/SOH0001.TXT",
      "\t-l length         Record size (file definition size +1 for record separator).",
      "\t                  (i.e. XXX.DEF)",
      "One of:",
      "\t-i input file \tInput file including file path an extension containing",
      "\t \t\t\t\t\t\trecord positions for records with invalid characters.",
      "\t-p position       Record position as returned from recfind.",
      "\t-y\t\t\t\tRun in full-detection mode. Uses same fill",
      "\t\t\t\t\t\t\tcharacter as invalid character detection mode.",
      "\nOptional arguments:",
      "\t-f fill           Set ASCII fill value. Default is 32 (space).",
      "\t-t NDXPROBE\t\t\tRun NDXPROBE (after other operations). Highly recommended",
      "\t \t\t\t\t\t\tto run after hex-zero full-detection mode.",
      "\t-h help \t\t\tDisplay help messages.",
      "\t-u update mode    Run program in update mode. Default is report only.",
      "\t-x \t\t\t\tRun in hex zero full-detection mode. Uses 0xFF as",
      "\t\t\t\t\t\t\tthe fill character.",
      "\t-v verbose\t\tRun in verbose mode.",
  };
  for (const char* line : kHelp) printLine(out, line);
}

namespace {

bool takesValue(std::string_view word) {
  return word == "d" || word == "f" || word == "i" || word == "l" || word == "p";
}

// One walk over the arguments; `applyValues` is the second walk. Ends at the first error or at
// -h; returns true when it found an error.
bool walk(Settings& s, const std::vector<std::string>& args, bool applyValues, FILE* out) {
  for (std::size_t i = 0; i < args.size() && !s.HELP_FLAG; ++i) {
    const std::string& arg = args[i];
    if (!first_char_is(arg, "-") || arg.size() <= 1) continue;
    std::string_view word = std::string_view(arg).substr(1);
    if (!valid_cmd(word)) {
      std::fputc('"', out);
      std::fwrite(word.data(), 1, word.size(), out);
      std::fputs("\" is not a valid command.\n", out);
      return true;
    }
    Result result = Result::kOk;
    if (!takesValue(word)) {
      // Flags are applied in both walks, so their confirmations stand twice in the report, as
      // they always have.
      result = parse_cmd(s, word, nullptr, out);
    } else if (i + 1 < args.size()) {
      ++i;  // the value is taken whatever it looks like, "-u" included
      if (applyValues) result = parse_cmd(s, word, &args[i], out);
    } else {
      std::fprintf(out, "No parameters provided for command %s.\n", std::string(word).c_str());
      return true;
    }
    if (result == Result::kFailed) {
      std::fprintf(out, "Invalid command: %s\n", std::string(word).c_str());
      return true;
    }
  }
  return false;
}

}  // namespace

bool read_options(Settings& s, const std::vector<std::string>& args, FILE* out) {
  // An error in the first walk leaves the values unapplied: the second walk does not start.
  return walk(s, args, false, out) || walk(s, args, true, out);
}

}  // namespace dbc::recmend
