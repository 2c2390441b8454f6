// SBHOOK32.DLL: arming and disarming of the capture triggers and the trigger
// hook procedures. Everything the hooks touch lives in the shared section
// sbhk_dat, because they run inside other applications' processes.
#include "capture/sbhook32.h"

#include "capture/capture_state.h"
#include "capture/hotkey.h"
#include "messages/status.h"

// One copy for every process that maps the library. The explicit initialiser
// keeps it in sbhk_dat as initialised data rather than in a zero-fill
// section; every variable starts at zero.
__attribute__((section("sbhk_dat"), shared)) CaptureState g_state = {
    .Armed = 0, .Busy = 0, .SelectionDone = 0, .RightButtonHeld = 0, .HideForFullScreen = 0,
    .IncludeCursor = 0, .Tracking = 0, .InHook = 0, .NeedAlt = 0, .NeedCtrl = 0, .NeedShift = 0,
    .KeyIndex = 0, .CrossCursor = 0, .NotifyWindow = 0, .PickedWindow = 0, .KeyboardHookHandle = 0,
    .ClickHookHandle = 0, .TrackerHookHandle = 0, .ModuleHandle = 0, .BoxWidth = 0, .BoxHeight = 0,
    .Anchor = {0, 0}, .Current = {0, 0}, .CaptureRect = {0, 0, 0, 0}, .Mode = 0,
    .NotifyMessage = 0, .TimerId = 0};

namespace {

template <typename T>
T FromState(std::uint32_t v) {
  return reinterpret_cast<T>(static_cast<UINT_PTR>(v));
}

template <typename T>
std::uint32_t ToState(T v) {
  return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(v));
}

// Steps 1 to 4 of every arming call; false when already armed.
bool TakeArmingArguments(HWND notify, DWORD mode, UINT message, int includeCursor,
                         int hideForFullScreen, DWORD alt, DWORD ctrl, DWORD shift, DWORD keyIndex,
                         int boxWidth, int boxHeight) {
  if (g_state.Armed != 0) return false;
  g_state.Armed = 1;
  g_state.NotifyWindow = ToState(notify);
  g_state.Mode = static_cast<std::uint16_t>(mode);
  g_state.NotifyMessage = message;
  g_state.IncludeCursor = includeCursor;
  g_state.HideForFullScreen = hideForFullScreen;
  g_state.NeedAlt = static_cast<std::uint8_t>(alt);
  g_state.NeedCtrl = static_cast<std::uint8_t>(ctrl);
  g_state.NeedShift = static_cast<std::uint8_t>(shift);
  g_state.KeyIndex = static_cast<std::uint8_t>(keyIndex);
  g_state.BoxWidth = boxWidth;
  g_state.BoxHeight = boxHeight;
  g_state.PickedWindow = 0;
  return true;
}

void PostCaptureRequest() {
  PostMessageA(FromState<HWND>(g_state.NotifyWindow), g_state.NotifyMessage, 0, 0);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH && g_state.ModuleHandle == 0) {
    g_state.ModuleHandle = ToState(instance);
  }
  return TRUE;
}

extern "C" int WINAPI InitScreenCaptureKeystroke(HWND notify, DWORD mode, UINT message,
                                                 int includeCursor, int hideForFullScreen,
                                                 DWORD alt, DWORD ctrl, DWORD shift,
                                                 DWORD keyIndex, int boxWidth, int boxHeight) {
  if (!TakeArmingArguments(notify, mode, message, includeCursor, hideForFullScreen, alt, ctrl,
                           shift, keyIndex, boxWidth, boxHeight)) {
    return 0;
  }
  g_state.KeyboardHookHandle = ToState(
      SetWindowsHookExA(WH_KEYBOARD, KeyboardHook, FromState<HINSTANCE>(g_state.ModuleHandle), 0));
  return 1;
}

extern "C" int WINAPI InitScreenCaptureMouseClick(HWND notify, DWORD mode, UINT message,
                                                  int includeCursor, int hideForFullScreen,
                                                  DWORD alt, DWORD ctrl, DWORD shift,
                                                  DWORD keyIndex, int boxWidth, int boxHeight) {
  if (!TakeArmingArguments(notify, mode, message, includeCursor, hideForFullScreen, alt, ctrl,
                           shift, keyIndex, boxWidth, boxHeight)) {
    return 0;
  }
  g_state.ClickHookHandle = ToState(SetWindowsHookExA(
      WH_MOUSE, StartCapMouseHook, FromState<HINSTANCE>(g_state.ModuleHandle), 0));
  return 1;
}

extern "C" int WINAPI InitScreenCaptureTimed(HWND notify, DWORD mode, UINT message,
                                             int includeCursor, int hideForFullScreen, DWORD alt,
                                             DWORD ctrl, DWORD shift, DWORD keyIndex, int boxWidth,
                                             int boxHeight, int seconds) {
  if (!TakeArmingArguments(notify, mode, message, includeCursor, hideForFullScreen, alt, ctrl,
                           shift, keyIndex, boxWidth, boxHeight)) {
    return 0;
  }
  g_state.TimerId = static_cast<std::uint32_t>(
      SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000u, TimerHook));
  return 1;
}

extern "C" LRESULT WINAPI KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  const HotKeyEvent event{code, static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam),
                          (GetKeyState(VK_CONTROL) & 0x8000) != 0,
                          (GetKeyState(VK_SHIFT) & 0x8000) != 0};
  const HotKeySetting setting{g_state.NeedAlt, g_state.NeedCtrl, g_state.NeedShift, g_state.KeyIndex};
  if (!IsHotKeyPress(event, setting)) {
    return CallNextHookEx(FromState<HHOOK>(g_state.KeyboardHookHandle), code, wParam, lParam);
  }
  if (g_state.Busy == 0) PostCaptureRequest();
  return 1;
}

extern "C" LRESULT WINAPI StartCapMouseHook(int code, WPARAM wParam, LPARAM lParam) {
  if (g_state.Busy == 0 && wParam == WM_RBUTTONDOWN) {
    PostCaptureRequest();
    g_state.RightButtonHeld = 1;
    return 1;
  }
  if (g_state.RightButtonHeld != 0 && wParam == WM_RBUTTONUP) {
    g_state.RightButtonHeld = 0;
    return 1;
  }
  return CallNextHookEx(FromState<HHOOK>(g_state.ClickHookHandle), code, wParam, lParam);
}

extern "C" void WINAPI TimerHook(HWND, UINT, UINT_PTR id, DWORD) {
  if (id == g_state.TimerId && g_state.Busy != 1) {
    PostCaptureRequest();
    MessageBeep(0xFFFFFFFF);
  }
}

extern "C" int WINAPI EndCapture() {
  int result;
  if (g_state.KeyboardHookHandle != 0) {
    result = UnhookWindowsHookEx(FromState<HHOOK>(g_state.KeyboardHookHandle));
    g_state.KeyboardHookHandle = 0;
  } else if (g_state.ClickHookHandle != 0) {
    result = UnhookWindowsHookEx(FromState<HHOOK>(g_state.ClickHookHandle));
    g_state.ClickHookHandle = 0;
  } else if (g_state.TimerId != 0) {
    result = KillTimer(nullptr, g_state.TimerId);
    g_state.TimerId = 0;
  } else {
    return 0;
  }
  g_state.Armed = 0;
  return result;
}

// The screen grab and the selection trackers come with the capture work.
// Until then a capture makes no image and says so, and the trackers pass
// every event on.
extern "C" WORD WINAPI CaptureScreen(HGLOBAL* dib) {
  if (dib == nullptr) return StatusBadArgument;
  *dib = nullptr;
  return StatusEmptyCapture;
}

extern "C" LRESULT WINAPI MouseHookArea(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(FromState<HHOOK>(g_state.TrackerHookHandle), code, wParam, lParam);
}

extern "C" LRESULT WINAPI MouseHookObject(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(FromState<HHOOK>(g_state.TrackerHookHandle), code, wParam, lParam);
}

extern "C" LRESULT WINAPI MouseHookBox(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(FromState<HHOOK>(g_state.TrackerHookHandle), code, wParam, lParam);
}
