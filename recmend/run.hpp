// recmend from its arguments to its end: the option walks, then the decision between the help
// text, an error, a run (repair, then the index probe) and a request for the missing parameters.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace recmend {

// `args` are argv[1..]; `qlonRootEnv` is QLON_ROOT (or null). Returns the exit status, always 0:
// callers look at the printed text, not at the status.
int recmend_main(const std::vector<std::string>& args, const char* qlonRootEnv, FILE* out,
                 FILE* err);

}  // namespace recmend
