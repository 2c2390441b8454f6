// SBHOOK32.DLL: arming and disarming of the capture triggers and the trigger
// hook procedures. Everything the hooks touch lives in the shared section
// sbhk_dat, because they run inside other applications' processes. The
// decisions are in triggers.cpp and hotkey.cpp; these procedures only gather
// the event and make the system call.
#include "capture/sbhook32.h"

#include "capture/hotkey.h"
#include "capture/selection.h"
#include "capture/shared_state_win.h"
#include "capture/trackers_win.h"
#include "capture/triggers.h"

// One copy for every process that maps the library. The explicit initialiser
// keeps it in sbhk_dat as initialised data rather than in a zero-fill
// section; every variable starts at zero.
__attribute__((section("sbhk_dat"), shared)) CaptureState g_state = {
    .Armed = 0, .Busy = 0, .SelectionDone = 0, .RightButtonHeld = 0, .HideForFullScreen = 0,
    .IncludeCursor = 0, .Tracking = 0, .InHook = 0, .NeedAlt = 0, .NeedCtrl = 0, .NeedShift = 0,
    .KeyIndex = 0, .CrossCursor = 0, .NotifyWindow = 0, .PickedWindow = 0, .KeyboardHookHandle = 0,
    .ClickHookHandle = 0, .TrackerHookHandle = 0, .ModuleHandle = 0, .BoxWidth = 0, .BoxHeight = 0,
    .Anchor = {0, 0}, .Current = {0, 0}, .CaptureRect = {0, 0, 0, 0}, .Mode = 0,
    .NotifyMessage = 0, .TimerId = 0, .SelectionCancelled = 0, .EscapeHeld = 0, .HotKeyDown = 0, .HotKeyThread = 0};

namespace {

// Steps 1 to 4 of every arming call. When the library is already armed for a
// live window, the caller learns why from GetLastError.
bool TakeArmingArguments(HWND notify, DWORD mode, UINT message, int includeCursor, int hideForFullScreen,
                         DWORD alt, DWORD ctrl, DWORD shift, DWORD keyIndex, int boxWidth, int boxHeight) {
  const ArmingArguments args{ToState(notify), mode,  message, includeCursor, hideForFullScreen, alt,
                             ctrl,            shift, keyIndex, boxWidth,     boxHeight};
  const bool armedWindowExists = g_state.Armed != 0 && IsWindow(FromState<HWND>(g_state.NotifyWindow));
  if (!BeginArming(g_state, args, armedWindowExists)) {
    SetLastError(ERROR_ALREADY_INITIALIZED);
    return false;
  }
  return true;
}

// Step 5's outcome. A refused hook or timer leaves the library disarmed and
// the call reports 0, with the system's reason still in GetLastError.
int CompleteArming(Trigger trigger, std::uint32_t handle) {
  const DWORD reason = GetLastError();
  const int result = FinishArming(g_state, trigger, handle);
  if (result == 0) SetLastError(reason != 0 ? reason : ERROR_INVALID_FUNCTION);
  return result;
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

extern "C" int WINAPI InitScreenCaptureKeystroke(HWND notify, DWORD mode, UINT message, int includeCursor,
                                                 int hideForFullScreen, DWORD alt, DWORD ctrl, DWORD shift,
                                                 DWORD keyIndex, int boxWidth, int boxHeight) {
  if (!TakeArmingArguments(notify, mode, message, includeCursor, hideForFullScreen, alt, ctrl, shift, keyIndex,
                           boxWidth, boxHeight)) {
    return 0;
  }
  SetLastError(0);
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHook, LibraryModule(), 0);
  return CompleteArming(Trigger::Keyboard, ToState(hook));
}

extern "C" int WINAPI InitScreenCaptureMouseClick(HWND notify, DWORD mode, UINT message, int includeCursor,
                                                  int hideForFullScreen, DWORD alt, DWORD ctrl, DWORD shift,
                                                  DWORD keyIndex, int boxWidth, int boxHeight) {
  if (!TakeArmingArguments(notify, mode, message, includeCursor, hideForFullScreen, alt, ctrl, shift, keyIndex,
                           boxWidth, boxHeight)) {
    return 0;
  }
  SetLastError(0);
  HHOOK hook = SetWindowsHookExA(WH_MOUSE, StartCapMouseHook, LibraryModule(), 0);
  return CompleteArming(Trigger::Click, ToState(hook));
}

extern "C" int WINAPI InitScreenCaptureTimed(HWND notify, DWORD mode, UINT message, int includeCursor,
                                             int hideForFullScreen, DWORD alt, DWORD ctrl, DWORD shift,
                                             DWORD keyIndex, int boxWidth, int boxHeight, int seconds) {
  if (!TakeArmingArguments(notify, mode, message, includeCursor, hideForFullScreen, alt, ctrl, shift, keyIndex,
                           boxWidth, boxHeight)) {
    return 0;
  }
  SetLastError(0);
  const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000u, TimerHook);
  return CompleteArming(Trigger::Timer, static_cast<std::uint32_t>(timer));
}

// Besides the hot key, this hook sees Esc everywhere: during a selection it
// ends the selection and goes no further.
extern "C" LRESULT WINAPI KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  switch (DecideEscape(g_state, code, static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam))) {
    case EscapeDecision::Cancel: SignalSelectionEnded(); return 1;
    case EscapeDecision::Swallow: return 1;
    case EscapeDecision::PassOn: break;
  }
  const HotKeyEvent event{code, static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam),
                          (GetKeyState(VK_CONTROL) & 0x8000) != 0, (GetKeyState(VK_SHIFT) & 0x8000) != 0,
                          GetCurrentThreadId()};
  const HotKeyDecision d = DecideHotKey(g_state, event);
  if (d.post) PostCaptureRequest();
  if (d.swallow) return 1;
  return CallNextHookEx(FromState<HHOOK>(g_state.KeyboardHookHandle), code, wParam, lParam);
}

extern "C" LRESULT WINAPI StartCapMouseHook(int code, WPARAM wParam, LPARAM lParam) {
  const ClickDecision d = DecideRightClick(g_state, static_cast<std::uint32_t>(wParam));
  if (d.post) PostCaptureRequest();
  if (d.swallow) return 1;
  return CallNextHookEx(FromState<HHOOK>(g_state.ClickHookHandle), code, wParam, lParam);
}

extern "C" void WINAPI TimerHook(HWND, UINT, UINT_PTR id, DWORD) {
  if (TimerShouldPost(g_state, static_cast<std::uint32_t>(id))) {
    PostCaptureRequest();
    MessageBeep(0xFFFFFFFF);
  }
}

extern "C" int WINAPI EndCapture() {
  const Trigger trigger = TriggerToRemove(g_state);
  int result = 0;
  switch (trigger) {
    case Trigger::Keyboard: result = UnhookWindowsHookEx(FromState<HHOOK>(g_state.KeyboardHookHandle)); break;
    case Trigger::Click: result = UnhookWindowsHookEx(FromState<HHOOK>(g_state.ClickHookHandle)); break;
    case Trigger::Timer: result = KillTimer(nullptr, g_state.TimerId); break;
    case Trigger::None: return 0;
  }
  FinishDisarming(g_state, trigger);
  return result;
}
