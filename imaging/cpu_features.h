// What the processor offers beyond the SSE2 the program is built for. The
// fast row loops that use newer instructions are chosen by these checks at
// run time, so the program still runs on any processor with SSE2.
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#define PICTRAP_X86 1
#else
#define PICTRAP_X86 0
#endif

bool CpuHasSsse3();
// AVX2 needs the system to save the wide registers too; the compiler's check
// asks the processor and the system both.
bool CpuHasAvx2();
// Carry-less multiplication, and the SSE4.1 that the compiler may use
// beside it in the loops built for it.
bool CpuHasClmul();
