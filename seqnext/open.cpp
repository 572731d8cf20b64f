#include "seqnext/open.hpp"

#include <fcntl.h>

#include "common/opnfil.hpp"

namespace dbc::seqnext {

CounterFile openCounter(const std::optional<std::string>& operand, const Config& config) {
  CounterFile file;
  if (operand) {
    file.fd = openFile(*operand, O_RDWR);
    if (file.fd) {
      file.path = *operand;
      return file;
    }
  }
  Opened o = opnfil(operand ? *operand : "SERIAL", "TXT", kSeqnextOpen, config);
  file.fd = std::move(o.fd);
  file.path = std::move(o.fulnam);
  return file;
}

}  // namespace dbc::seqnext
