// Printer setup and the one-page print job: the Printer Setup dialog, the
// default printer at the first print, the printer device context, and the
// spooled page with progress and Cancel through the status window.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <cstdint>

#include "messages/status.h"
#include "platform/memory.h"

// Runs the Print Setup dialog on the saved printer setup (both handles or
// none) and keeps what the dialog's record holds afterwards.
void PrinterSetup(HWND owner, HINSTANCE instance, HGLOBAL* devNames, HGLOBAL* devMode);
UINT_PTR CALLBACK PrinterSetupHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What PrintCapture reads of the program, which owns all of it. The status
// window is shown and hidden through the two functions given.
struct PrintRequest {
  HWND owner;         // of the default printer's lookup
  HINSTANCE instance;
  HWND statusWindow;  // progress and Cancel
  void (*showStatus)(const char* text);
  void (*hideStatus)();
  const char* statusText;  // shown while the job runs
  const char* caption;     // of the error reports
  MemHandle image;         // the capture to print, only read
  HPALETTE palette;        // may be null
  const char* fileName;    // the saved file's path, empty when it was not saved
  bool withFileName;       // print it under the image
  // The saved printer setup, both or none; the default printer's are
  // stored here when none is saved.
  HGLOBAL* devNames;
  HGLOBAL* devMode;
};

// Prints the current image on one page of the saved (or default) printer
// and reports every error itself. 1 when there was no image or it stopped
// with an error of its own; 0 when the job ran, whatever its status.
int PrintCapture(const PrintRequest& request);

// The print job. Positions and extents in hundredths of an inch, the text
// position in printer pixels. `instance` and `banding` have no effect.
Status PrintDib(HWND statusWindow, HINSTANCE instance, HDC printer, MemHandle dib, HPALETTE palette,
                const char* documentName, std::int32_t top, std::int32_t left, std::int32_t width,
                std::int32_t height, int printText, const char* text, int textX, int textY, int banding);
BOOL CALLBACK PrintAbortProc(HDC printer, int error);

// The dialog PrinterSetup runs: PrintDlgA, or a stand-in in tests. Returns
// what PrintDlgA returns, with CommDlgExtendedError() in *error when that is 0.
using PrintDialogRunner = BOOL (*)(PRINTDLGA* record, DWORD* error);
void PrinterSetupWith(PrintDialogRunner runDialog, HWND owner, HINSTANCE instance, HGLOBAL* devNames,
                      HGLOBAL* devMode);
