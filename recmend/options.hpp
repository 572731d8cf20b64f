// recmend's settings and its command line: the eleven one-letter options, their setters with
// the lines they print, and the two walks over the arguments.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace dbc::recmend {

// The printable range a record byte must lie in, and the range allowed for the fill byte.
inline constexpr std::uint32_t VALID_START = 32;
inline constexpr std::uint32_t VALID_END = 126;
// The largest DB/C record, 65500 bytes, plus its record mark.
inline constexpr std::uint64_t MAX_RECORD_SIZE = 65501;

// What a setter, an option or a repair run came to. The numbers are the ones the tool has always
// returned: 1 for a failure, 0 otherwise.
enum class Result { kOk = 0, kFailed = 1 };

// Everything the options set; fixed once the arguments have been read.
struct Settings {
  std::string DATAFILE;
  std::string INPUTFILE;
  std::uint64_t RECORD_SIZE = 0;  // the definition's record size plus the record mark
  std::int64_t RECORD_POSITION = 0;
  bool POSITION_SET = false;
  unsigned char FILL_VALUE = 32;
  bool HELP_FLAG = false;
  bool UPDATE_FLAG = false;
  bool VERBOSE_FLAG = false;  // accepted and kept; nothing in the run depends on it
  bool ZERO_DETECTION_FLAG = false;
  bool FULL_DETECTION_FLAG = false;
  bool NDXPROBE_FLAG = false;
};

bool is_digit(char c);
// True when every character is a digit; the empty text counts as a number.
bool is_number(std::string_view text);
// The value of a text of digits as strtoll reads it: saturated at the largest 64-bit value, 0
// for the empty text.
std::int64_t decimal(std::string_view digits);
bool first_char_is(std::string_view a, std::string_view b);
bool valid_cmd(std::string_view word);

// The setters print their confirmation on `out`.
Result set_data_file(Settings& s, std::string_view value, FILE* out);
Result set_input_file(Settings& s, std::string_view value, FILE* out);
Result set_fill_val(Settings& s, std::string_view value, FILE* out);
Result set_size(Settings& s, std::string_view value, FILE* out);
Result set_position(Settings& s, std::string_view value, FILE* out);
void set_help(Settings& s);
void set_ndxprobe(Settings& s);
void set_update(Settings& s, FILE* out);
void verbose(Settings& s);
void set_zero_detection(Settings& s, FILE* out);
void set_full_detection(Settings& s, FILE* out);

// Applies option `word` (one of the letters valid_cmd accepts) with its value, or none for
// the flags.
Result parse_cmd(Settings& s, std::string_view word, const std::string* value, FILE* out);

void help_msg(FILE* out);

// The two walks over the arguments (argv[1..]): the first checks every option word and the
// presence of every value and applies the flags, the second applies the values. Returns true
// when an error was found; what it found is printed on `out`.
bool read_options(Settings& s, const std::vector<std::string>& args, FILE* out);

}  // namespace dbc::recmend
