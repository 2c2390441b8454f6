// CaptureState: the variables SBHOOK32 shares between every process that maps
// it. The hook procedures run inside other applications, so this section is
// the only channel between them and SHOTBOX's thread. Handles are kept as
// 32-bit values: the library is 32-bit only and the layout must not change
// between the processes that share it.
#pragma once

#include <cstdint>

struct CapturePoint {
  std::int32_t x, y;
};

struct CaptureRectangle {
  std::int32_t left, top, right, bottom;
};

struct CaptureState {
  std::int32_t Armed;
  std::int32_t Busy;
  std::int32_t SelectionDone;
  std::int32_t RightButtonHeld;
  std::int32_t HideForFullScreen;
  std::int32_t IncludeCursor;
  std::int32_t Tracking;
  std::int32_t InHook;
  std::uint8_t NeedAlt;
  std::uint8_t NeedCtrl;
  std::uint8_t NeedShift;
  std::uint8_t KeyIndex;
  std::uint32_t CrossCursor;        // HCURSOR
  std::uint32_t NotifyWindow;       // HWND
  std::uint32_t PickedWindow;       // HWND
  std::uint32_t KeyboardHookHandle; // HHOOK
  std::uint32_t ClickHookHandle;    // HHOOK
  std::uint32_t TrackerHookHandle;  // HHOOK
  std::uint32_t ModuleHandle;       // HMODULE
  std::int32_t BoxWidth;
  std::int32_t BoxHeight;
  CapturePoint Anchor;
  CapturePoint Current;
  CaptureRectangle CaptureRect;
  std::uint16_t Mode;
  std::uint32_t NotifyMessage;
  std::uint32_t TimerId;            // UINT_PTR
  // Esc during a selection: set by the keyboard hook, which also swallows
  // that key's repeats and its release while EscapeHeld is set.
  std::int32_t SelectionCancelled;
  std::int32_t EscapeHeld;
  // The hot key's current keystroke has been decided (posted, or refused
  // while Busy): 0 while the key is up, else how that keystroke was first
  // seen (HotKeyStroke). Cleared by the key's release.
  std::int32_t HotKeyDown;
  std::uint32_t HotKeyThread;  // the thread that met that keystroke first
};
