#include "testkit/fault.hpp"

namespace testkit {

void inject(Command& command, const Fault& fault) {
  command.env["LD_PRELOAD"] = DBC_FAULT_LIB;
  // A sanitized program wants its runtime first among the preloaded libraries; ours only
  // forwards calls, so the order does not matter.
  command.env["ASAN_OPTIONS"] = "verify_asan_link_order=0";
  command.env["DBC_FAULT_OP"] = fault.op;
  command.env["DBC_FAULT_NTH"] = std::to_string(fault.nth);
  command.env["DBC_FAULT_REPEAT"] = fault.repeat ? "1" : "0";
  command.env["DBC_FAULT_ERRNO"] = fault.error;
  if (fault.slowMicros > 0) command.env["DBC_FAULT_SLOW_US"] = std::to_string(fault.slowMicros);
  if (!fault.program.empty()) command.env["DBC_FAULT_PROGRAM"] = fault.program;
}

}  // namespace testkit
