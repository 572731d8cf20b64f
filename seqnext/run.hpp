// One call of seqnext: the counter file found, the next number taken under the lock, and the
// number printed for the program that called.
#pragma once

#include <string>
#include <vector>

#include "common/context.hpp"

namespace dbc::seqnext {

// `args` may name the counter file; without it the DB/C file SERIAL.TXT is used. Returns the exit
// status. A caller that finds no number on the context's output did not get one.
int run(const std::vector<std::string>& args, Context& context);

}  // namespace dbc::seqnext
