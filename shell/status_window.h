// The status window: a captioned pop-up owned by the main window with a text
// line, a progress bar with its percentage, and a Cancel button. Created
// once, hidden, and shown around each long operation.
#pragma once

#include <windows.h>

#include "platform/progress.h"

constexpr UINT kStatusTextMessage = WM_USER + 3;  // the text buffer changed while shown

BOOL RegisterStatusClass(HINSTANCE instance);
HWND CreateStatusWindow(HWND owner, HINSTANCE instance, const char* caption, const char* buttonText);
// `text` stays the caller's and must live while the window is shown.
void ShowStatus(const char* text);
void HideStatus();
void DestroyStatusWindow(HWND owner);
// The status window as the long operations' progress channel (null if none).
ProgressChannel* StatusChannel();

// The bar's filled right edge for a percentage, in client pixels.
constexpr int StatusBarRight(int percent) { return 13 + percent * 241 / 100; }
