#include "imaging/cpu_features.h"

namespace {

// Asked once, at start-up. Function-local statics would be guarded for
// threads, and the guard brings the C++ runtime's exception support into
// the binaries.
#if PICTRAP_X86
const bool kHasSsse3 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") != 0;
}();
const bool kHasAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
const bool kHasClmul = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") != 0 && __builtin_cpu_supports("sse4.1") != 0;
}();
#else
const bool kHasSsse3 = false;
const bool kHasAvx2 = false;
const bool kHasClmul = false;
#endif

}  // namespace

bool CpuHasSsse3() { return kHasSsse3; }
bool CpuHasAvx2() { return kHasAvx2; }
bool CpuHasClmul() { return kHasClmul; }
