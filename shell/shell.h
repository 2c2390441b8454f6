// SHOTBOX's program-wide state: one record for the run.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/naming.h"
#include "shell/settings.h"

struct CaptureInfo {
  std::int32_t width;
  std::int32_t height;
  std::uint16_t bitCount;  // as captured, before any processing
  std::uint32_t clrUsed;
};

struct ShellState {
  HINSTANCE instance;
  HWND mainWindow;
  HWND statusWindow;
  Settings settings;
  char iniPath[160];
  char helpPath[160];
  CaptureInfo capture;
  char statusText[kStatusTextSize];
  char currentFileName[kFileNameSize];
};

extern ShellState g_shell;

constexpr char kProductName[] = "Pictrap";
