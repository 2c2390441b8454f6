// The library's one CaptureState, defined in the shared section sbhk_dat
// (sbhook32.cpp), and the conversions between handles and its 32-bit slots.
#pragma once

#include <windows.h>

#include <cstdint>

#include "capture/capture_state.h"

extern CaptureState g_state;

template <typename T>
T FromState(std::uint32_t v) {
  return reinterpret_cast<T>(static_cast<UINT_PTR>(v));
}

template <typename T>
std::uint32_t ToState(T v) {
  return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(v));
}

extern "C" IMAGE_DOS_HEADER __ImageBase;

// The library as loaded in the calling process. The shared record keeps the
// handle of the first process that loaded it, which is this process's only
// while the library sits at the same address everywhere; a copy relocated in
// another process would hand Windows a module that is not there, so hooks
// and resources always name the caller's own copy.
inline HINSTANCE LibraryModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }
