// SHOTBOX's program-wide state: one record for the run.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/memory.h"
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
  // Where on the virtual screen the last capture was taken, after clipping;
  // empty when no capture says (the viewer then takes the primary monitor).
  RECT captureArea;
  char statusText[kStatusTextSize];
  char currentFileName[kFileNameSize];

  // The last capture. The pipeline owns the image and its palette; the
  // viewer and printing only read them.
  MemHandle currentImage;
  HPALETTE currentPalette;
  std::uint8_t greyFlag;
  // A copy of the image last put on the clipboard, from which its PNG is
  // made when a program asks for it; freed when the clipboard is emptied
  // and at the end.
  MemHandle clipboardImage;
  bool busy;               // a capture is being processed
  HWND rememberedFocus;    // the focus when the capture request arrived

  HWND viewerWindow;       // null while the capture viewer is closed
  HWND helpWindow;         // the program's own help, null while closed

  // The capture library took our arming. Only then is its trigger ours to
  // remove: one refused (another program holds the library) belongs to that
  // program, and EndCapture would take it away from it.
  bool hotKeyArmed;

  // The saved printer setup: both set or both null; freed at the end.
  HGLOBAL printerDevMode;
  HGLOBAL printerDevNames;
};

extern ShellState g_shell;

constexpr char kProductName[] = "Pictrap";
