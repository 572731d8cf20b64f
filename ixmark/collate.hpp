// The installation's collating sequence (dbcdx.file.collate): a 256-entry table through which
// index keys and data bytes are both seen before they are compared.
#pragma once

#include <string>

namespace dbc::ixmark {

class Collate {
 public:
  // Off: every character stands for itself.
  Collate();
  // Builds the table from a list of from:to entries separated by semicolons. Entries without a
  // colon or with a code outside 0-255 are skipped and not counted.
  explicit Collate(const std::string& collst);

  bool active() const { return active_; }
  int colcnt() const { return colcnt_; }
  int colrtn(int colchr) const { return coltab_[colchr & 0xFF]; }

 private:
  bool active_ = false;
  int colcnt_ = 0;
  int coltab_[256];
};

}  // namespace dbc::ixmark
