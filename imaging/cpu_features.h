// What the processor offers beyond the SSE2 the program is built for. The
// fast row loops that use newer instructions are chosen by these checks at
// run time, so the program still runs on any processor with SSE2.
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#define PICTRAP_X86 1
#else
#define PICTRAP_X86 0
#endif

inline bool CpuHasSsse3() {
#if PICTRAP_X86
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has;
#else
  return false;
#endif
}

// AVX2 needs the system to save the wide registers too; the compiler's check
// asks the processor and the system both.
inline bool CpuHasAvx2() {
#if PICTRAP_X86
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
#else
  return false;
#endif
}
