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

inline HINSTANCE LibraryModule() { return FromState<HINSTANCE>(g_state.ModuleHandle); }
