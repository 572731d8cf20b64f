// Writes a DB/C source of about the given size in MB to standard output: declarations, labels,
// nested IF / LOOP / SWITCH blocks, continuation lines, comments and DEBUG statements, with tabs
// and spaces mixed as hand-edited sources have them. The same size gives the same file.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Rng {
  unsigned long long s = 0x2545F4914F6CDD1DULL;
  unsigned next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<unsigned>(s >> 11);
  }
};

const char* const kNames[] = {"CUSTNO", "AMOUNT", "BALANCE", "NAME",  "ADDR1", "CITY",
                              "ZIP",    "COUNT",  "INDEX",   "TOTAL", "RATE",  "DUEDATE"};
const char* const kStmts[] = {"MOVE %s TO %s",
                              "ADD %s TO %s",
                              "SUB %s FROM %s",
                              "COMPARE %s TO %s",
                              "DISPLAY %s, *N, %s",
                              "READ CUSTFILE,%s;%s",
                              "CALL FORMAT USING %s, %s",
                              "PACK %s WITH %s, \"  \""};

}  // namespace

int main(int argc, char** argv) {
  long long target = (argc > 1 ? std::atoll(argv[1]) : 100) * 1000000LL;
  Rng r;
  std::string out;
  long long written = 0;
  int depth = 0;
  char line[512];
  while (written < target) {
    out.clear();
    for (int i = 0; i < 2000; ++i) {
      const char* a = kNames[r.next() % 12];
      const char* b = kNames[r.next() % 12];
      const char* ws = r.next() % 3 ? " " : "\t";
      unsigned k = r.next() % 20;
      if (k == 0) {
        std::snprintf(line, sizeof line, "* %s is checked against %s before the update\n", a, b);
      } else if (k == 1) {
        std::snprintf(line, sizeof line, "%s%u\t%s %u\n", a, r.next() % 100,
                      r.next() % 2 ? "DIM" : "FORM", r.next() % 80 + 1);
      } else if (k == 2 && depth < 8) {
        std::snprintf(line, sizeof line, "%sIF (%s > %s)\n", ws, a, b);
        ++depth;
      } else if (k == 3 && depth > 0) {
        std::snprintf(line, sizeof line, "%sENDIF\n", ws);
        --depth;
      } else if (k == 4 && depth < 8) {
        std::snprintf(line, sizeof line, "   LOOP\n");
        ++depth;
      } else if (k == 5 && depth > 0) {
        std::snprintf(line, sizeof line, " REPEAT\n");
        --depth;
      } else if (k == 6) {
        std::snprintf(line, sizeof line, "L%u%s%s %s:\n%s   %s\n", r.next() % 1000, ws, "DISPLAY",
                      a, ws, b);
      } else if (k == 7) {
        std::snprintf(line, sizeof line, " DEBUG %s\n", a);
      } else {
        char stmt[256];
        std::snprintf(stmt, sizeof stmt, kStmts[r.next() % 8], a, b);
        std::snprintf(line, sizeof line, "%s%s%s\n", ws, stmt, r.next() % 4 ? "" : "   ");
      }
      out += line;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    written += static_cast<long long>(out.size());
  }
  return 0;
}
