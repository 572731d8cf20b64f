// Where the scans may use x86 vector instructions. SSE2 is part of every x86-64, so code under
// DBC_X86_VECTORS uses it freely; AVX2 is asked of the processor at run time (`hasAvx2`) and the
// functions that use it are compiled with `target("avx2")`, so one build serves every processor.
// Elsewhere (another architecture, or a 32-bit x86 build, which may lack SSE2) only the plain
// paths are built.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define DBC_X86_VECTORS 1
#endif

namespace dbc {

inline bool hasAvx2() {
#ifdef DBC_X86_VECTORS
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace dbc
