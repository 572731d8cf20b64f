#include "recscan/report.hpp"

#include <cstring>

namespace dbc::recscan {

namespace {

using ll = long long;

const char* yesNo(bool b) { return b ? "Yes" : "No"; }

}  // namespace

// Computed in single precision as it always was.
float deletedPercent(const Scanner& s) {
  if (s.filsiz == 0) return 0;
  return static_cast<float>(s.delsiz) / static_cast<float>(s.filsiz) * 100.0f;
}

std::string dformat(std::int64_t value) {
  char field[32];
  int width = std::snprintf(field, sizeof field, "%12lld", static_cast<ll>(value));
  // A number wider than the usual 12 places is aligned to whole groups of three, so that its
  // commas still fall every three digits from the right.
  int pad = (3 - width % 3) % 3;
  std::string digits = std::string(static_cast<std::size_t>(pad), ' ') + field;
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (digits[i] != ' ') out.push_back(digits[i]);
    if ((i + 1) % 3 == 0 && i + 1 < digits.size() && !out.empty()) out.push_back(',');
  }
  return out;
}

std::string nformat(std::int64_t value, bool bytflg) {
  if (bytflg) return dformat(value);
  float f = static_cast<float>(value);
  char text[64] = "";
  if (f >= 1073741824.0f) {
    std::snprintf(text, sizeof text, "%3.2fg", static_cast<double>(f / 1073741824.0f));
  } else if (f >= 1048576.0f) {
    std::snprintf(text, sizeof text, "%3.2fm", static_cast<double>(f / 1048576.0f));
  } else if (f >= 1024.0f) {
    std::snprintf(text, sizeof text, "%3.2fk", static_cast<double>(f / 1024.0f));
  } else if (f >= 1.0f) {
    std::snprintf(text, sizeof text, "%i", static_cast<int>(value));
  }
  return text;
}

void printSummary(std::FILE* out, const Scanner& s, const ReportFacts& f) {
  const Settings& set = s.settings();
  std::fprintf(
      out, "%s %lli %i %lli %lli.%lli %lli %lli %3.2f%% %lli %lli %lli %i %i %i %i %lli %i\n",
      f.filnam.c_str(), static_cast<ll>(s.reccnt), s.chksum, static_cast<ll>(s.eofcnt),
      static_cast<ll>(s.errcnt), static_cast<ll>(s.errcnt2), static_cast<ll>(s.ichcnt),
      static_cast<ll>(s.delsiz), static_cast<double>(deletedPercent(s)), static_cast<ll>(s.filsiz),
      static_cast<ll>(s.minsiz), static_cast<ll>(s.maxsiz), static_cast<int>(s.cmpflg2),
      static_cast<int>(s.offset), set.dmf.dmflen, static_cast<int>(f.filtyp),
      static_cast<ll>(s.fstsiz), static_cast<int>(set.dmf.cmpflg1));
}

namespace {

// The block of -c. Its percentage is whole, printed with two decimals as it always was.
void printCompression(std::FILE* out, const Scanner& s) {
  const bool bytflg = s.settings().bytflg;
  const std::int64_t difsiz = s.filsiz - s.filsiz2;
  const std::int64_t savings = s.filsiz == 0 ? 0 : difsiz * 100 / s.filsiz;
  std::fprintf(out, "\n");
  std::fprintf(out, "     Uncompressed filesize = %s  (%s)\n", dformat(s.filsiz).c_str(),
               nformat(s.filsiz, bytflg).c_str());
  std::fprintf(out, "       Compressed filesize = %s  (%s)\n", dformat(s.filsiz2).c_str(),
               nformat(s.filsiz2, bytflg).c_str());
  std::fprintf(out, "       Compression savings = %s  (%s) ", dformat(difsiz).c_str(),
               nformat(difsiz, bytflg).c_str());
  std::fprintf(out, "%3.2f%%\n", static_cast<double>(savings));
}

}  // namespace

void printReport(std::FILE* out, const Scanner& s, const ReportFacts& f) {
  const Settings& set = s.settings();
  const std::string filsiz_ = nformat(s.filsiz, set.bytflg);
  const std::string delsiz_ = nformat(s.delsiz, set.bytflg);
  std::fprintf(out, "records=%lli, max size=%lli, min size=%lli, compressed=%s, deleted=%s\n",
               static_cast<ll>(s.reccnt), static_cast<ll>(s.maxsiz), static_cast<ll>(s.minsiz),
               yesNo(s.cmpflg2 == CompressionSeen::kYes), yesNo(s.delsiz != 0));
  std::fprintf(out, "     filsiz=%s, eofcnt=%lli, delsiz=%s (%3.2f%%)\n", filsiz_.c_str(),
               static_cast<ll>(s.eofcnt), delsiz_.c_str(), static_cast<double>(deletedPercent(s)));
  std::fprintf(out,
               "     errcnt=%lli.%lli, ichcnt=%lli offset=%i dmflen=%i dmfcmp=%s runtim=%.1f min\n",
               static_cast<ll>(s.errcnt), static_cast<ll>(s.errcnt2), static_cast<ll>(s.ichcnt),
               static_cast<int>(s.offset), set.dmf.dmflen,
               yesNo(set.dmf.cmpflg1 == Compression::kConfigured), f.runtim);
  if (set.cmpflg) printCompression(out, s);
}

}  // namespace dbc::recscan
