// A library loaded from the system folder only: one planted beside a
// capture in the current directory, or in the folder of a program the hook
// library runs in, must never be loaded in its place.
#pragma once

#include <windows.h>

inline HMODULE LoadSystemLibrary(const char* name) {
  HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Systems without the search flags: name the system folder ourselves.
  char path[MAX_PATH];
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n + 1 + lstrlenA(name) >= MAX_PATH) return nullptr;
  lstrcatA(path, "\\");
  lstrcatA(path, name);
  return LoadLibraryA(path);
}
