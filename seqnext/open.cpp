#include "seqnext/open.hpp"

#include <fcntl.h>

#include "common/opnfil.hpp"

namespace seqnext {

CounterFile openCounter(const std::optional<std::string>& operand, const dbc::Config& config) {
  CounterFile file;
  if (operand) {
    file.fd = dbc::openFile(*operand, O_RDWR);
    if (file.fd) {
      file.path = *operand;
      return file;
    }
  }
  dbc::Opened o = dbc::opnfil(operand ? *operand : "SERIAL", "TXT", dbc::kSeqnextOpen, config);
  file.fd = std::move(o.fd);
  file.path = std::move(o.fulnam);
  return file;
}

}  // namespace seqnext
