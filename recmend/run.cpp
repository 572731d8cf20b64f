#include "recmend/run.hpp"

#include "recmend/ndxprobe.hpp"
#include "recmend/options.hpp"
#include "recmend/repair.hpp"

namespace recmend {

int recmend_main(const std::vector<std::string>& args, const char* qlonRootEnv, FILE* out,
                 FILE* err) {
  Settings s;
  bool error = read_options(s, args, out);
  if (s.HELP_FLAG) {
    help_msg(out);
  } else if (error || s.RECORD_SIZE > MAX_RECORD_SIZE) {
    if (!error) {
      std::fprintf(out, "Record size %zu is too large; the largest is %zu.\n",
                   static_cast<std::size_t>(s.RECORD_SIZE),
                   static_cast<std::size_t>(MAX_RECORD_SIZE));
    }
    std::fputs("Error detected. Program shutting down.\n", out);
  } else if (!s.DATAFILE.empty() && s.RECORD_SIZE != 0) {
    std::fprintf(out, "Using fill character: '%c' (hex: %x; dec: %d).\n", s.FILL_VALUE,
                 s.FILL_VALUE, s.FILL_VALUE);
    process_file(s, out, err);  // its result changes nothing: the status stays 0
    if (s.NDXPROBE_FLAG) run_ndxprobe(s, qlon_root(qlonRootEnv), out);
  } else {
    std::fputs("Not all parameters provided. Exiting program.\n", out);
    std::fputs("Data file: ", out);
    std::fwrite(s.DATAFILE.data(), 1, s.DATAFILE.size(), out);
    std::fprintf(out, "; RECORD_SIZE: %zu; POSITION_SET = %zu\n",
                 static_cast<std::size_t>(s.RECORD_SIZE), static_cast<std::size_t>(s.POSITION_SET));
  }
  std::fflush(out);
  return 0;
}

}  // namespace recmend
