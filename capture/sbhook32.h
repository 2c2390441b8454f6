// SBHOOK32.DLL exports. SHOTBOX binds 10, 16, 20 and 24 by ordinal; the
// ordinals are fixed in sbhook32.def.
#pragma once

#include <windows.h>

extern "C" {
int WINAPI InitScreenCaptureKeystroke(HWND notify, DWORD mode, UINT message, int includeCursor,
                                      int hideForFullScreen, DWORD alt, DWORD ctrl, DWORD shift,
                                      DWORD keyIndex, int boxWidth, int boxHeight);
int WINAPI InitScreenCaptureMouseClick(HWND notify, DWORD mode, UINT message, int includeCursor,
                                       int hideForFullScreen, DWORD alt, DWORD ctrl, DWORD shift,
                                       DWORD keyIndex, int boxWidth, int boxHeight);
int WINAPI InitScreenCaptureTimed(HWND notify, DWORD mode, UINT message, int includeCursor,
                                  int hideForFullScreen, DWORD alt, DWORD ctrl, DWORD shift,
                                  DWORD keyIndex, int boxWidth, int boxHeight, int seconds);
LRESULT WINAPI KeyboardHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI StartCapMouseHook(int code, WPARAM wParam, LPARAM lParam);
void WINAPI TimerHook(HWND window, UINT message, UINT_PTR id, DWORD time);
int WINAPI EndCapture();
WORD WINAPI CaptureScreen(HGLOBAL* dib);
LRESULT WINAPI MouseHookArea(int code, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI MouseHookObject(int code, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI MouseHookBox(int code, WPARAM wParam, LPARAM lParam);
// The rectangle the calling process's last capture took from the virtual
// screen, after clipping; FALSE before any, and from the start of each
// CaptureScreen until its grab.
BOOL WINAPI GetLastCaptureRect(RECT* rect);
}
