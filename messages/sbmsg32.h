// SBMSG32.DLL: the error-message library. SHOTBOX imports ShowError by ordinal 10.
#pragma once

#include <windows.h>

extern "C" void WINAPI ShowError(const char* caption, DWORD code);
