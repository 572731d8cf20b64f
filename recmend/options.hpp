// recmend's settings and its command line: the eleven one-letter options, their setters with
// the lines they print, and the two walks over the arguments.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace recmend {

// The printable range a record byte must lie in, and the range allowed for the fill byte.
inline constexpr std::uint32_t VALID_START = 32;
inline constexpr std::uint32_t VALID_END = 126;
// The largest DB/C record, 65500 bytes, plus its record mark.
inline constexpr std::uint64_t MAX_RECORD_SIZE = 65501;

// Everything the options set; fixed once the arguments have been read.
struct Settings {
  std::string DATAFILE;
  std::string INPUTFILE;
  std::uint64_t RECORD_SIZE = 0;  // the definition's record size plus the record mark
  std::int64_t RECORD_POSITION = 0;
  std::int64_t POSITION_SET = 0;
  unsigned char FILL_VALUE = 32;
  unsigned char HELP_FLAG = 0;
  unsigned char UPDATE_FLAG = 0;
  unsigned char VERBOSE_FLAG = 0;
  unsigned char ZERO_DETECTION_FLAG = 0;
  unsigned char FULL_DETECTION_FLAG = 0;
  unsigned char NDXPROBE_FLAG = 0;
};

bool is_digit(char c);
// True when every character is a digit; the empty text counts as a number.
bool is_number(std::string_view text);
bool first_char_is(std::string_view a, std::string_view b);
bool valid_cmd(std::string_view word);

// The setters print their confirmation on `out` and return 1 on failure, 0 otherwise.
int set_data_file(Settings& s, std::string_view value, FILE* out);
int set_input_file(Settings& s, std::string_view value, FILE* out);
int set_fill_val(Settings& s, std::string_view value, FILE* out);
int set_size(Settings& s, std::string_view value, FILE* out);
int set_position(Settings& s, std::string_view value, FILE* out);
void set_help(Settings& s);
void set_ndxprobe(Settings& s);
void set_update(Settings& s, FILE* out);
void verbose(Settings& s);
void set_zero_detection(Settings& s, FILE* out);
void set_full_detection(Settings& s, FILE* out);

// Applies option `word` (one of the letters valid_cmd accepts) with its value, or none for
// the flags; 1 when the setter failed.
int parse_cmd(Settings& s, std::string_view word, const std::string* value, FILE* out);

void help_msg(FILE* out);

// The two walks over the arguments (argv[1..]): the first checks every option word and the
// presence of every value and applies the flags, the second applies the values. Returns true
// when an error was found; what it found is printed on `out`.
bool read_options(Settings& s, const std::vector<std::string>& args, FILE* out);

}  // namespace recmend
